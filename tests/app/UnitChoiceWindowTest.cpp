// The window program with several units on one bench: --device takes the unit it names, also
// on the checks that arrivals run, and without it the first unit is taken and the status
// line's tool tip tells of the others.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include "app/MainWindow.h"
#include "app/ProgramUnitChoice.h"
#include "app/SimBenchEvents.h"
#include "sim/SimBench.h"
#include "ui/DeviceWatch.h"

namespace kavo3::app {
namespace {

using namespace std::chrono_literals;

struct TwoUnitProgram {
    sim::SimBench bench;
    SimBenchEvents events{bench};
    ProgramUnitChoice choice;
    link::DeviceLink link{choice.transport(), 50ms};
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow mainWindow{session};
    ui::DeviceWatch watch{events};

    TwoUnitProgram(std::optional<std::string> device, bool secondAway = false)
        : bench(twoUnits()), choice(bench, std::move(device)) {
        if (secondAway) bench.unit(1).unplug();
        mainWindow.unitNotice = [this] { return choice.noticeAfterCheck(link); };
        mainWindow.listenTo(watch);
        mainWindow.load();
    }
    static sim::SimOptions twoUnits() {
        sim::SimOptions o;
        o.units = 2;
        return o;
    }
    // Reports each unit was sent, and whether the main window shows the unit connected.
    std::string seen() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        const bool on = mainWindow.findChild<QPushButton*>("Command1")->isEnabled();
        return std::to_string(bench.unit(0).reportsWritten()) + " " +
               std::to_string(bench.unit(1).reportsWritten()) + (on ? " Connect" : " No Connect");
    }
    std::string toolTip() const { return mainWindow.statusLine()->toolTip().toStdString(); }
};

TEST(UnitChoiceInTheMainWindow, DeviceTakesTheUnitItNamesTheFirstTellsOfTheOthers) {
    const struct {
        std::optional<std::string> device;
        const char* seen;
        const char* toolTip;  // a part of it; "" for none at all
    } cases[] = {
        {std::nullopt, "1 0 Connect",
         "1 other KAVO-3 is attached; this program talks to the one "
         "at usb-sim-1.1/input0. Start it with --device ID"},
        {"usb-sim-1.2/input0", "0 1 Connect", ""},
        {"sim/unit2/hidraw00", "0 1 Connect", ""},
        {"usb-sim-1.3/input0", "0 0 No Connect", "No KAVO-3 at usb-sim-1.3/input0."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device.value_or("no --device"));
        TwoUnitProgram p(c.device);
        EXPECT_EQ(p.seen(), c.seen);
        if (*c.toolTip)
            EXPECT_NE(p.toolTip().find(c.toolTip), std::string::npos) << p.toolTip();
        else
            EXPECT_EQ(p.toolTip(), "");
    }

    // The named unit away: the other one coming and going is never checked; the named one
    // arriving is, and leaving shows.
    TwoUnitProgram p("usb-sim-1.2/input0", true);
    EXPECT_EQ(p.seen(), "0 0 No Connect");
    EXPECT_NE(p.toolTip().find("No KAVO-3 at usb-sim-1.2/input0"), std::string::npos);
    p.bench.unit(0).unplug();
    p.bench.unit(0).plugBackIn();
    EXPECT_EQ(p.seen(), "0 0 No Connect");
    p.bench.unit(1).plugBackIn();
    EXPECT_EQ(p.seen(), "0 1 Connect");
    EXPECT_EQ(p.toolTip(), "");
    p.bench.unit(1).unplug();
    EXPECT_EQ(p.seen(), "0 1 No Connect");

    // Connected to the only unit: a second one plugged in, and gone again, is told of at once,
    // with nothing sent to either.
    TwoUnitProgram q(std::nullopt, true);
    EXPECT_EQ(q.seen(), "1 0 Connect");
    EXPECT_EQ(q.toolTip(), "");
    q.bench.unit(1).plugBackIn();
    EXPECT_EQ(q.seen(), "1 0 Connect");
    EXPECT_NE(q.toolTip().find("1 other KAVO-3 is attached"), std::string::npos) << q.toolTip();
    q.bench.unit(1).unplug();
    EXPECT_EQ(q.seen(), "1 0 Connect");
    EXPECT_EQ(q.toolTip(), "");
}

}  // namespace
}  // namespace kavo3::app
