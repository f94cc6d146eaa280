#include "unitd/BusSwitches.h"

namespace kavo3::unitd {

std::string switchesTheBusDecides(const sim::SimOptions& o) {
    const sim::SimOptions d;
    std::string out;
    const auto add = [&out](bool given, const char* name) {
        if (given) out += (out.empty() ? "" : ",") + std::string(name);
    };
    add(o.units != d.units, "units");
    add(o.replugSamePath, "samepath");
    add(o.busyHolder != 0, "busy");
    add(o.refuseWrite != d.refuseWrite, "refuse");
    add(o.extraInterfaces != 0, "extra");
    add(o.hostReadWait.has_value(), "hostwait");
    add(o.reportDelay != d.reportDelay, "usb/delay");
    add(o.coarsePace, "coarse");
    return out;
}

}  // namespace kavo3::unitd
