// The run of either executable: the application object, the link to the given unit,
// the main window and the windows it opens.
#pragma once

#include "link/Transport.h"

namespace kavo3::app {

// Exit status of a run with an argument it does not take.
inline constexpr int kBadUsage = 64;

int runProgram(int argc, char** argv, link::Transport& transport);

}  // namespace kavo3::app
