// The simulated unit's switches in words, for a program's --help.
#pragma once

namespace kavo3::sim {

// One line per switch, as README's table gives them.
const char* simSwitchesHelp();

}  // namespace kavo3::sim
