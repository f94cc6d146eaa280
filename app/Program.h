// The run of either executable: the application object, the link to the given unit,
// the main window and the windows it opens.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "link/DeviceEvents.h"
#include "link/Transport.h"

class QWidget;

namespace kavo3::app {

// Exit status of a run with an argument it does not take.
inline constexpr int kBadUsage = 64;

// Where the run hears units arrive and leave, made once the main window exists (on Windows that
// window is the one registered for the notifications); null for none.
using DeviceEventsSource = std::function<std::shared_ptr<link::DeviceEvents>(QWidget& mainWindow)>;

// What a program says of its unit where the window texts cannot: the demo, that it is
// simulated (in the status box's tool tip); empty for the real unit.
struct UnitWords {
    std::string toolTip;
};

int runProgram(int argc, char** argv, link::Transport& transport,
               const DeviceEventsSource& deviceEvents = {}, const UnitWords& words = {});

}  // namespace kavo3::app
