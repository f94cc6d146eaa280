// One capture in the capture window: the freeze, the frame information, every line with its
// drawing, and the window system's work until it has nothing left. Opening the window is not
// measured.
#include <QAbstractButton>

#include "bench/run/Operations.h"

namespace kavo3::bench {

bool runCapture(Rig& rig, const Arguments&, Measurement& measurement, std::string& problem) {
    rig.windows.showCaptureWindow();
    Rig::settle();
    QWidget* window = rig.windows.captureWindow();
    auto* command2 =
        window ? window->findChild<QAbstractButton*>(QStringLiteral("Command2")) : nullptr;
    if (!command2 || !command2->isEnabled()) {
        problem = "the capture window offers no capture";
        return false;
    }
    const int height = rig.transport.options().height;

    measurement.start();
    command2->click();
    Rig::settle();
    measurement.stop();

    if (!command2->isEnabled()) {
        problem = "the capture did not end";
        return false;
    }
    if (measurement.figures().reports.in < height) {
        problem = "the capture read fewer reports than the frame has lines (frame refused?)";
        return false;
    }
    return true;
}

}  // namespace kavo3::bench
