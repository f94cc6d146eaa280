// The main window against the simulated unit, healthy and with its faults.
#include <gtest/gtest.h>

#include <QPushButton>

#include "app/MainWindow.h"
#include "WindowRig.h"

namespace kavo3::app {
namespace {

QString statusAfterLoad(const std::string& switches, bool* buttonsEnabled = nullptr) {
    rigs::WindowRig<> rig(rigs::simWith(switches));
    MainWindow window(rig.session);
    window.load();
    if (buttonsEnabled)
        *buttonsEnabled = window.findChild<QPushButton*>("Command10")->isEnabled();
    return window.statusLine()->text();
}

TEST(MainWindowWithSimulatedUnit, ConnectsToAHealthyUnitBehindOtherInterfaces) {
    bool enabled = false;
    EXPECT_EQ(statusAfterLoad("extra=3", &enabled), QString::fromUtf8(kConnectedText));
    EXPECT_TRUE(enabled);
}

TEST(MainWindowWithSimulatedUnit, SilentZeroOrAbsentUnitIsNotConnected) {
    for (const char* switches : {"noanswer", "zeros", "late", "unplug=0", "id=04d8:0001"}) {
        bool enabled = true;
        EXPECT_EQ(statusAfterLoad(switches, &enabled), QString::fromUtf8(kNotConnectedText))
            << switches;
        EXPECT_FALSE(enabled) << switches;
    }
}

}  // namespace
}  // namespace kavo3::app
