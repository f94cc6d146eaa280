// Switches of the simulated unit that belong to the host's side of its link (its pace, the
// system refusing a write, other programs and devices); on a real bus the bus decides those.
// Unplugging and plugging back in the unit does itself, on the bus.
#pragma once

#include <string>

#include "sim/SimOptions.h"

namespace kavo3::unitd {

// The switches given that a unit on a real bus cannot honour, comma-separated; empty if none.
std::string switchesTheBusDecides(const sim::SimOptions& options);

}  // namespace kavo3::unitd
