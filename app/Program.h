// The run of either executable: the application object, the link to the given unit,
// the main window and the windows it opens.
#pragma once

#include "link/Transport.h"

namespace kavo3::app {

int runProgram(int argc, char** argv, link::Transport& transport);

}  // namespace kavo3::app
