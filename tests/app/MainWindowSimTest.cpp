// The main window against the simulated unit, healthy and with its faults.
#include <gtest/gtest.h>

#include <QPushButton>

#include "app/MainWindow.h"
#include "sim/SimTransport.h"

namespace kavo3::app {
namespace {

using namespace std::chrono_literals;

QString statusAfterLoad(const std::string& switches, bool* buttonsEnabled = nullptr) {
    std::string error;
    auto options = sim::parseSimSwitches(switches, error);
    EXPECT_TRUE(options) << error;
    sim::SimTransport transport(*options);
    link::DeviceLink link(transport, 20ms);
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow window(session);
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
