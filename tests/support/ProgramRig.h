// The whole window program on a link rig: the main window and the windows behind its buttons.
// Needs kavo3_app besides the window rig.
#pragma once

#include <QPushButton>

#include "WindowRig.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"

namespace kavo3::rigs {

template <class Wire = sim::SimTransport>
class ProgramRig : public WindowRig<Wire> {
  public:
    using WindowRig<Wire>::WindowRig;

    // Loads and shows the main window as the program's start does.
    void start() {
        mainWindow.load();
        mainWindow.show();
    }
    void click(const char* name) { mainWindow.findChild<QPushButton*>(name)->click(); }

    app::MainWindow mainWindow{this->session};
    app::ProgramWindows windows{this->session, mainWindow};
};

}  // namespace kavo3::rigs
