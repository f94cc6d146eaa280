// What lives for the whole run and is shared by every window: the device link, the clock of
// the settle waits, the last chosen file name and the way the program ends.
#pragma once

#include <QString>
#include <functional>

#include "ui/SettleClock.h"
#include "link/DeviceLink.h"

namespace kavo3::ui {

struct Session {
    link::DeviceLink& link;
    SettleClock& clock;
    // The path chosen in the most recent file dialog of any window.
    QString ChosenFileName;
    // Ends the program at once, without any window's closing handling; tests replace it.
    std::function<void()> endProgram;
};

// Ends the process now: no event loop, no window or static destructors run.
[[noreturn]] void endProcessNow();

}  // namespace kavo3::ui
