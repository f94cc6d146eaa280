#include "bench/run/Rig.h"

#include <QCoreApplication>

namespace kavo3::bench {

Rig::Rig(const sim::SimOptions& options)
    : transport(options),
      link(transport),
      session{link, clock, {}, [this] { programEnded = true; }},
      mainWindow(session),
      windows(session, mainWindow) {
    mainWindow.load();
    mainWindow.show();
    settle();
}

Rig::~Rig() = default;

ReportCounts Rig::reports() const { return {transport.reportsWritten(), transport.reportsRead()}; }

void Rig::settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

}  // namespace kavo3::bench
