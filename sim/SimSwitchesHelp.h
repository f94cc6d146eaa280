// The simulated unit's switches in words, for a program's --help.
#pragma once

namespace kavo3::sim {

// One line per switch a user tries the tool with, as docs/simulated-unit.md gives them.
const char* simSwitchesHelp();
// The switches that only the tool's own tests need (their waits, their pace, what the
// unit's view checks), listed apart.
const char* simTestSwitchesHelp();

}  // namespace kavo3::sim
