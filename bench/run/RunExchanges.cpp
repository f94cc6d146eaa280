// Bare exchanges through the program's link: the floor under every window operation.
#include "bench/run/Operations.h"

namespace kavo3::bench {

bool runExchanges(Rig& rig, const Arguments& arguments, Measurement& measurement,
                  std::string& problem) {
    rig.link.CommandBytes = {2, 0, 0, 0, 0, 0, 0, 0};
    measurement.start();
    for (long i = 0; i < arguments.count; ++i) rig.link.Exchange();
    measurement.stop();
    if (measurement.figures().reports.in != arguments.count) {
        problem = "exchanges went unanswered";
        return false;
    }
    return true;
}

}  // namespace kavo3::bench
