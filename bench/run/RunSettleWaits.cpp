// Bare settle waits of three ticks, as the timing window's reads do them: the floor under
// every operation that paces the unit (three ticks of a 1 ms timer are 3 ms at best).
#include "bench/run/Operations.h"

namespace kavo3::bench {

bool runSettleWaits(Rig& rig, const Arguments& arguments, Measurement& measurement,
                    std::string&) {
    measurement.start();
    for (long i = 0; i < arguments.count; ++i) rig.clock.settleWait(3);
    measurement.stop();
    return true;
}

}  // namespace kavo3::bench
