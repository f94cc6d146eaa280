// SIGTERM, SIGHUP, SIGPIPE and Ctrl-C in the window program (a logout, a terminal closed, a service
// manager): each ends the run as closing the main window does, so that a download's data phase
// is finished first. The signal only wakes the event loop; the ending runs on its thread.
#pragma once

#include <QObject>
#include <memory>

#include "ui/ProgramState.h"

class QSocketNotifier;

namespace kavo3::link {
class StopSignals;
}

namespace kavo3::app {

class EndOnSignals : public QObject {
  public:
    // `exitStatus` is set to the signal's status (128 + its number) before the run ends.
    EndOnSignals(ui::ProgramState& session, int& exitStatus);
    ~EndOnSignals() override;

  private:
    std::unique_ptr<link::StopSignals> stopSignals_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kavo3::app
