// The main window hears units arrive and leave: the connection check runs again when a unit
// arrives while the window is not connected, and the unit it talks to leaving shows as not
// connected, without a click and without reopening any window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "download/RomDownloader.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimTransport.h"
#include "ui/DeviceWatch.h"

namespace kavo3::app {
namespace {

using link::DeviceEvent;
using link::HidAttributes;
using link::testing::RecordingTransport;
using namespace std::chrono_literals;

// Events as a test announces them, for cases the simulated unit cannot raise by itself.
class ScriptedEvents : public link::DeviceEvents {
  public:
    void announce(const DeviceEvent& event) { raise(event); }
};

sim::SimOptions simWith(const char* switches) {
    std::string error;
    const auto o = sim::parseSimSwitches(switches, error);
    EXPECT_TRUE(o) << error;
    return o.value_or(sim::SimOptions{});
}

struct Program {
    sim::SimTransport unit;
    RecordingTransport recorder{unit};
    link::DeviceLink link{recorder, 50ms};
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow mainWindow{session};
    ProgramWindows windows{session, mainWindow};
    ui::DeviceWatch watch;

    Program(const sim::SimOptions& options, link::DeviceEvents* events = nullptr)
        : unit(options), watch(events ? *events : unit) {
        mainWindow.listenTo(watch);
        mainWindow.load();
        mainWindow.show();
    }
    void click(const char* name) { mainWindow.findChild<QPushButton*>(name)->click(); }
    // What the user sees: the status text and the four buttons.
    std::string seen() const {
        std::string s = mainWindow.statusText() == QString::fromUtf8(kConnectedText) ? "Connect"
                        : mainWindow.statusText() == QString::fromUtf8(kNotConnectedText)
                            ? "No Connect"
                            : mainWindow.statusText().toStdString();
        s += ' ';
        for (const char* name : {"Command1", "Command2", "Command3", "Command10"})
            s += mainWindow.findChild<QPushButton*>(name)->isEnabled() ? 'Y' : 'N';
        return s;
    }
    int sent(std::uint8_t code) const {
        int n = 0;
        for (const auto& c : recorder.commands) n += c[0] == code;
        return n;
    }
    static void letEventsRun() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
};

constexpr HidAttributes kUnitIdentity{0x17A7, 0x0001, 0};
constexpr HidAttributes kMouse{0x046D, 0xC077, 0};

TEST(DeviceEventsInTheMainWindow, EachEventLeadsToTheCheckOrTheTextItCalls) {
    enum Presence { Away, Here };
    const struct Case {
        const char* name;
        const char* switches;
        Presence atLoad, atEvent;
        DeviceEvent::Kind kind;
        bool unitsPath;  // the event names the path the unit is listed under
        std::optional<HidAttributes> identity;
        const char* seen;
        int checks;                     // connection checks sent after the one at load
        bool leavesInTheCheck = false;  // and is heard leaving while the check waits
    } cases[] = {
        {"a unit arrives", "", Away, Here, DeviceEvent::Kind::Arrived, true, kUnitIdentity,
         "Connect YYYY", 1},
        {"a device that may be a unit arrives", "", Away, Here, DeviceEvent::Kind::Arrived, true,
         std::nullopt, "Connect YYYY", 1},
        {"a mouse arrives", "", Away, Here, DeviceEvent::Kind::Arrived, false, kMouse,
         "No Connect NNNN", 0},
        {"a silent unit arrives", "zeros", Away, Here, DeviceEvent::Kind::Arrived, true,
         kUnitIdentity, "No Connect NNNN", 1},
        {"another unit arrives while connected", "", Here, Here, DeviceEvent::Kind::Arrived, false,
         kUnitIdentity, "Connect YYYY", 0},
        {"the unit leaves", "", Here, Away, DeviceEvent::Kind::Left, true, std::nullopt,
         "No Connect NNNN", 0},
        {"another device leaves", "", Here, Here, DeviceEvent::Kind::Left, false, std::nullopt,
         "Connect YYYY", 0},
        {"a silent unit leaves", "zeros", Here, Away, DeviceEvent::Kind::Left, true, std::nullopt,
         "No Connect NNNN", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimOptions options = simWith(c.switches);
        if (c.atLoad == Away) options.unplugAfter = 0;
        ScriptedEvents events;
        Program p(options, &events);
        const int checksAtLoad = p.sent(2);
        const std::string path = c.unitsPath ? p.unit.unitPath() : "sim/hidraw99";
        if (c.atLoad == Away && c.atEvent == Here) p.unit.plugBackIn();
        if (c.atLoad == Here && c.atEvent == Away) p.unit.unplug();
        if (c.leavesInTheCheck) {
            p.recorder.afterWrite = [&](const RecordingTransport::Command& command) {
                if (command[0] != 2) return;
                const std::string left = p.unit.unitPath();
                p.unit.unplug();  // its answer is already on its way
                events.announce({DeviceEvent::Kind::Left, left, std::nullopt});
            };
        }
        events.announce({c.kind, c.unitsPath ? p.unit.unitPath() : path, c.identity});
        EXPECT_EQ(p.sent(2), checksAtLoad) << "the check ran inside the event";
        Program::letEventsRun();
        EXPECT_EQ(p.seen(), c.seen);
        EXPECT_EQ(p.sent(2) - checksAtLoad, c.checks);
    }
}

TEST(DeviceEventsInTheMainWindow, PluggedInLaterUnpluggedAndBackEveryWindowStillWorks) {
    sim::SimOptions away;
    away.unplugAfter = 0;
    Program p(away);
    EXPECT_EQ(p.seen(), "No Connect NNNN");

    p.unit.plugBackIn();
    Program::letEventsRun();
    EXPECT_EQ(p.seen(), "Connect YYYY");

    p.click("Command1");
    p.click("Command2");
    QWidget* timing = p.windows.timingWindow();
    QWidget* remote = p.windows.remoteWindow();
    ASSERT_TRUE(timing && remote);
    const int blockReads = p.sent(0x10);

    p.unit.unplug();
    Program::letEventsRun();
    EXPECT_EQ(p.seen(), "No Connect NNNN");
    // Open windows stay as they are, and meet the loss as before.
    EXPECT_EQ(p.windows.timingWindow(), timing);
    EXPECT_TRUE(timing->isVisible());
    remote->findChild<QAbstractButton*>("Command4")->click();
    EXPECT_TRUE(p.unit.unit().recordedKeys().empty());

    p.unit.plugBackIn();
    Program::letEventsRun();
    EXPECT_EQ(p.seen(), "Connect YYYY");
    EXPECT_EQ(p.windows.timingWindow(), timing);
    EXPECT_EQ(p.windows.remoteWindow(), remote);
    EXPECT_EQ(p.sent(0x10), blockReads) << "the timing window was opened again";

    // Every window reaches the unit that came back; the timing window, which read its registers
    // from the unit that left, once it has read them again.
    timing->findChild<QScrollBar*>("h2pos")->setValue(12);
    EXPECT_EQ(p.unit.unit().timingCommits(), 0);
    EXPECT_NE(timing->windowTitle(), QStringLiteral("入出力映像信号調整"));
    timing->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    p.click("Command1");
    timing = p.windows.timingWindow();
    ASSERT_TRUE(timing);
    timing->findChild<QScrollBar*>("h2pos")->setValue(12);
    EXPECT_EQ(p.unit.unit().timingCommits(), 1);
    remote->findChild<QAbstractButton*>("Command4")->click();
    EXPECT_EQ(p.unit.unit().recordedKeys(), std::vector<std::uint8_t>{24});
    p.click("Command3");
    ASSERT_TRUE(p.windows.captureWindow());

    QTemporaryDir dir;
    QFile file(dir.path() + "/rom.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x5a'));
    file.close();
    p.windows.downloader().chooseFile = [&](QWidget*, const QString&, const QString&) {
        return file.fileName();
    };
    p.click("Command10");
    EXPECT_TRUE(p.mainWindow.statusText().contains("Write OK"))
        << p.mainWindow.statusText().toStdString();
    EXPECT_EQ(p.unit.unit().flash()[0x0E8000], 0x5a);
    EXPECT_EQ(p.seen().substr(p.seen().size() - 4), "YYYY");
}

}  // namespace
}  // namespace kavo3::app
