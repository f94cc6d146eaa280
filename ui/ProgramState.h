// What lives for the whole run and is shared by every window: the device link, the clock of
// the settle waits, the last chosen file name and the way the program ends.
#pragma once

#include <QString>
#include <functional>

#include "link/DeviceLink.h"
#include "ui/SettleClock.h"

namespace kavo3::ui {

struct ProgramState {
    link::DeviceLink& link;
    SettleClock& clock;
    // The path chosen in the most recent file dialog of any window.
    QString ChosenFileName;
    // Ends the program at once, without any window's closing handling; tests replace it.
    std::function<void()> endProgram;
    // Set when the program is to end during a download's data phase: the download sends the
    // rest of it as erased bytes, verifies nothing, and the program ends after that.
    bool stopRequested = false;
};

// Ends the program as closing the main window does: the link closed and the program ended at
// once. During a download's data phase every window goes at once, but the program ends only
// once the unit has had the rest of the data phase, so that it is never left expecting data.
void endRun(ProgramState& state);

// Ends the process now with `status`: no event loop, no window or static destructors run.
[[noreturn]] void endProcessNow(int status = 0);

}  // namespace kavo3::ui
