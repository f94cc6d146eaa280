// The program as kavo3tool-demo sets it up: the simulated unit, the device link, the settle
// clock, the main window (loaded and shown) and the windows it opens.
#pragma once

#include <memory>

#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "ui/ProgramState.h"
#include "bench/run/Figures.h"
#include "link/DeviceLink.h"
#include "sim/SimTransport.h"

namespace kavo3::bench {

class Rig {
  public:
    explicit Rig(const sim::SimOptions& options);
    ~Rig();
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    sim::SimTransport transport;
    link::DeviceLink link;
    ui::SettleClock clock;
    ui::ProgramState session;
    bool programEnded = false;  // something asked the program to end
    app::MainWindow mainWindow;
    app::ProgramWindows windows;

    // Reports over the link so far, for a Measurement.
    ReportCounts reports() const;

    // Runs what the window system has queued (painting, layout) until nothing is left.
    static void settle();
};

}  // namespace kavo3::bench
