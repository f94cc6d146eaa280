// A unit unplugged after the connection check and plugged in again: the whole program against
// the simulated unit, with the product's read wait, so that any read waiting for a unit that
// is not there would be counted.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <chrono>

#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "download/RomDownloader.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimTransport.h"

namespace kavo3::app {
namespace {

using Clock = std::chrono::steady_clock;
using link::testing::RecordingTransport;

sim::SimOptions goneAfterTheConnectionCheck() {
    sim::SimOptions o;
    o.unplugAfter = 1;
    return o;
}

struct UnpluggedProgram {
    sim::SimTransport unit{goneAfterTheConnectionCheck()};
    RecordingTransport recorder{unit};
    link::DeviceLink link{recorder, link::DeviceLink::kReadWait};
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow mainWindow{session};
    ProgramWindows windows{session, mainWindow};

    UnpluggedProgram() {
        mainWindow.load();
        mainWindow.show();
    }
    void click(const char* name) { mainWindow.findChild<QPushButton*>(name)->click(); }
    std::string enabledButtons() const {
        std::string s;
        for (const char* name : {"Command1", "Command2", "Command3", "Command10"})
            s += mainWindow.findChild<QPushButton*>(name)->isEnabled() ? 'Y' : 'N';
        return s;
    }
    int commandsWith(std::uint8_t code, std::size_t from) const {
        int n = 0;
        for (std::size_t i = from; i < recorder.commands.size(); ++i)
            n += recorder.commands[i][0] == code;
        return n;
    }
};

TEST(UnitComesBack, GoneTheWindowsOpenAtOnceWithZerosAndBackEveryWindowReachesItAfresh) {
    UnpluggedProgram p;
    const QString connected = p.mainWindow.statusText();
    ASSERT_EQ(connected, QStringLiteral("ＫＡＶＯ－３  Ｃｏｎｎｅｃｔ"));
    ASSERT_TRUE(p.unit.unplugged());

    // Gone: the timing window's eleven exchanges end at once, all zeros.
    const auto start = Clock::now();
    p.click("Command1");
    QWidget* timing = p.windows.timingWindow();
    ASSERT_TRUE(timing);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));  // eleven waits would take 11 s
    EXPECT_EQ(p.recorder.timeouts, 0);
    EXPECT_EQ(p.recorder.reads, 1);  // the connection check's; nothing read from a gone unit
    EXPECT_FALSE(p.link.DeviceFound());
    EXPECT_EQ(timing->findChild<QScrollBar*>("h2pos")->value(), 0);
    EXPECT_EQ(timing->findChild<QLineEdit*>("h2pos_txt")->text(), "000");
    // The main window stays as the connection check left it.
    EXPECT_EQ(p.mainWindow.statusText(), connected);
    EXPECT_EQ(p.enabledButtons(), "YYYY");

    // Back, at another path. The window read nothing from it, so it writes nothing to it: the
    // slider stays where the image is and the caption says why.
    p.unit.plugBackIn();
    const std::size_t mark = p.recorder.commands.size();
    auto* h2pos = timing->findChild<QScrollBar*>("h2pos");
    EXPECT_FALSE(h2pos->isEnabled());
    h2pos->setValue(12);
    EXPECT_EQ(h2pos->value(), 0);
    EXPECT_EQ(p.commandsWith(0x11, mark), 0);  // block write
    EXPECT_EQ(p.commandsWith(0x12, mark), 0);  // write end
    EXPECT_NE(timing->windowTitle(), QStringLiteral("入出力映像信号調整"));

    // Opened again, it reads the unit that came back, and a slider writes to it.
    timing->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    p.click("Command1");
    timing = p.windows.timingWindow();
    ASSERT_TRUE(timing);
    EXPECT_TRUE(p.link.DeviceFound());
    EXPECT_EQ(p.link.DevicePath(), p.unit.unitPath());
    EXPECT_EQ(timing->windowTitle(), QStringLiteral("入出力映像信号調整"));
    timing->findChild<QScrollBar*>("h2pos")->setValue(12);
    EXPECT_EQ(p.commandsWith(0x11, mark), 1);
    EXPECT_EQ(p.commandsWith(0x12, mark), 1);
    EXPECT_EQ(p.unit.unit().timingCommits(), 1);

    p.click("Command2");
    p.windows.remoteWindow()->findChild<QAbstractButton*>("Command4")->click();
    EXPECT_EQ(p.unit.unit().recordedKeys(), std::vector<std::uint8_t>{24});

    QTemporaryDir dir;
    QFile file(dir.path() + "/rom.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x3c'));
    file.close();
    p.windows.downloader().chooseFile = [&](QWidget*, const QString&, const QString&) {
        return file.fileName();
    };
    p.click("Command10");
    EXPECT_TRUE(p.mainWindow.statusText().contains("Write OK"))
        << p.mainWindow.statusText().toStdString();
    EXPECT_EQ(p.unit.unit().flash()[0x0E8000], 0x3c);
    EXPECT_EQ(p.unit.unit().flash()[0x0E8FFF], 0x3c);
    EXPECT_EQ(p.recorder.timeouts, 0);
}

}  // namespace
}  // namespace kavo3::app
