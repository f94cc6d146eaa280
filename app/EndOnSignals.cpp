#include "app/EndOnSignals.h"

#include <QSocketNotifier>

#include "link/StopSignals.h"
#include "link/ProgramName.h"

namespace kavo3::app {

EndOnSignals::EndOnSignals(ui::ProgramState& session, int& exitStatus) {
#ifndef _WIN32
    stopSignals_ = std::make_unique<link::StopSignals>(
        "\n" + link::programName() +
        ": ended at once by a second Ctrl-C. If a download was running, the unit still expects "
        "data and takes every command as flash data; the next kavo3tool or kavo3cli that finds "
        "it sends the rest first.\n");
    notifier_ = new QSocketNotifier(stopSignals_->wakeUpDescriptor(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this, &session, &exitStatus] {
        stopSignals_->drainWakeUp();
        exitStatus = stopSignals_->exitStatus();
        ui::endRun(session);
    });
#else
    // A window program on Windows gets no such signals; its logout comes as a session end.
    Q_UNUSED(session);
    Q_UNUSED(exitStatus);
#endif
}

EndOnSignals::~EndOnSignals() = default;

}  // namespace kavo3::app
