// Bare exchanges through the program's link: the floor under every window operation.
#include "bench/run/Operations.h"
#include "link/Conversation.h"
#include "link/Protocol.h"

namespace kavo3::bench {

bool runExchanges(Rig& rig, const Arguments& arguments, Measurement& measurement,
                  std::string& problem) {
    const link::Command check = link::protocol::plain(link::protocol::kConnectionCheck);
    link::Conversation talk(rig.link);
    measurement.start();
    for (long i = 0; i < arguments.count; ++i) talk.exchange(check);
    measurement.stop();
    if (measurement.figures().reports.in != arguments.count) {
        problem = "exchanges went unanswered";
        return false;
    }
    return true;
}

}  // namespace kavo3::bench
