// Opening the timing window from the main window: creating it, its load handling (the block
// reads with their settle waits) and showing it, until the window system has nothing left.
#include <QPushButton>

#include "bench/run/Operations.h"

namespace kavo3::bench {

bool runTimingOpen(Rig& rig, const Arguments&, Measurement& measurement, std::string& problem) {
    auto* command1 = rig.mainWindow.findChild<QPushButton*>(QStringLiteral("Command1"));
    if (!command1 || !command1->isEnabled()) {
        problem = "the main window offers no timing window";
        return false;
    }
    measurement.start();
    command1->click();
    Rig::settle();
    measurement.stop();

    const QWidget* window = rig.windows.timingWindow();
    if (!window || !window->isVisible()) {
        problem = "the timing window did not open";
        return false;
    }
    if (measurement.figures().reports.in == 0) {
        problem = "the timing window read nothing from the unit";
        return false;
    }
    return true;
}

}  // namespace kavo3::bench
