// The windows behind the main window's buttons, and how they meet: against the simulated unit,
// with every report on the wire read back from the link's trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "download/RomDownloader.h"
#include "link/Trace.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimTransport.h"
#include "timing/TimingWindow.h"

namespace kavo3::app {
namespace {

using namespace std::chrono_literals;

// Output reports in the trace, as their first bytes after the report ID.
std::vector<std::vector<int>> commandsIn(const std::string& tracePath) {
    std::ifstream in(tracePath);
    std::vector<std::vector<int>> commands;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string ms, kind;
        words >> ms >> kind;
        if (kind != "OUT") continue;
        std::vector<int> bytes;
        for (std::string hex; words >> hex && bytes.size() < 9;)
            bytes.push_back(std::stoi(hex, nullptr, 16));
        commands.emplace_back(bytes.begin() + 1, bytes.end());
    }
    return commands;
}

int countCommands(const std::string& tracePath, std::initializer_list<int> prefix) {
    int n = 0;
    for (const auto& c : commandsIn(tracePath))
        if (std::equal(prefix.begin(), prefix.end(), c.begin())) ++n;
    return n;
}

struct Program {
    QTemporaryDir dir;
    std::string tracePath = (dir.path() + "/trace.txt").toStdString();
    std::unique_ptr<link::Trace> trace = link::Trace::open(tracePath);
    sim::SimTransport transport;
    link::DeviceLink link{transport, 20ms, trace.get()};
    ui::SettleClock clock;
    int ended = 0;
    ui::ProgramState session{link, clock, {}, [this] { ++ended; }};
    MainWindow mainWindow{session};
    ProgramWindows windows{session, mainWindow};

    explicit Program(std::function<void()> endProgram = {}) {
        if (endProgram) session.endProgram = std::move(endProgram);
        mainWindow.load();
        mainWindow.show();
    }
    void click(const char* name) { mainWindow.findChild<QPushButton*>(name)->click(); }
};

TEST(ProgramWindows, TheTimingButtonShowsTheOneOpenWindowAndANewOneAfterClosing) {
    Program p;
    p.click("Command1");
    QPointer<QWidget> first = p.windows.timingWindow();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->objectName(), "Form6");
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(countCommands(p.tracePath, {0x0F, 0x01}), 1);

    p.click("Command1");
    EXPECT_EQ(p.windows.timingWindow(), first.data());
    EXPECT_EQ(countCommands(p.tracePath, {0x0F, 0x01}), 1);  // not loaded again

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    EXPECT_EQ(countCommands(p.tracePath, {0x0F, 0x00}), 1);

    p.click("Command1");
    ASSERT_TRUE(p.windows.timingWindow());
    EXPECT_EQ(countCommands(p.tracePath, {0x0F, 0x01}), 2);
}

TEST(ProgramWindows, AWindowClosedBeforeItsDeletionRanIsNotShownAgain) {
    Program p;
    p.click("Command1");
    p.click("Command3");
    QPointer<QWidget> timing = p.windows.timingWindow();
    QPointer<QWidget> capture = p.windows.captureWindow();
    // Both closes and the clicks come in one pass of events, before any deletion ran.
    timing->close();
    capture->close();
    p.click("Command3");
    p.click("Command1");  // its opening lets events run: the closed ones may go meanwhile
    ASSERT_TRUE(p.windows.timingWindow() && p.windows.captureWindow());
    EXPECT_NE(p.windows.timingWindow(), timing.data());
    EXPECT_NE(p.windows.captureWindow(), capture.data());
    EXPECT_TRUE(p.windows.timingWindow()->isVisible());
    EXPECT_TRUE(p.windows.captureWindow()->isVisible());
    EXPECT_EQ(countCommands(p.tracePath, {0x0F, 0x01}), 2);
    EXPECT_EQ(countCommands(p.tracePath, {20}), 2);  // the new capture window checked again

    // Its data load lets events run, and so the deletion of the old one: the new one survives.
    auto* load = p.windows.timingWindow()->findChild<QPushButton*>("Command2");
    qobject_cast<timing::TimingWindow*>(p.windows.timingWindow())->chooseFile =
        [](const timing::TimingWindow::FileDialogRequest&) { return QString(); };
    load->click();
    EXPECT_FALSE(timing);
    EXPECT_FALSE(capture);
    EXPECT_TRUE(p.windows.timingWindow());
}

TEST(ProgramWindows, RemoteAndCaptureButtonsShowTheirWindows) {
    Program p;
    p.click("Command2");
    ASSERT_TRUE(p.windows.remoteWindow());
    EXPECT_EQ(p.windows.remoteWindow()->objectName(), "Form2");
    p.click("Command3");
    ASSERT_TRUE(p.windows.captureWindow());
    EXPECT_EQ(p.windows.captureWindow()->objectName(), "Form5");
    EXPECT_EQ(countCommands(p.tracePath, {20}), 1);  // the capture window's load check
}

TEST(ProgramWindows, ThePanelsFreezeKeyIsNotTheCaptureWindowsFreeze) {
    Program p;
    p.click("Command3");
    p.click("Command2");
    auto* freezeButton = p.windows.captureWindow()->findChild<QAbstractButton*>("Command1");
    const QString captionBefore = freezeButton->text();
    p.windows.remoteWindow()->findChild<QAbstractButton*>("Command6")->click();
    EXPECT_EQ(p.transport.unit().recordedKeys(), std::vector<std::uint8_t>{76});
    EXPECT_EQ(freezeButton->text(), captionBefore);
    EXPECT_EQ(countCommands(p.tracePath, {22}), 0);  // no Freeze command went out
}

TEST(ProgramWindows, TheDownloadButtonWritesAt0E8000AndHoldsEveryOtherWindowMeanwhile) {
    Program p;
    p.click("Command1");
    p.click("Command2");
    QFile file(p.dir.path() + "/rom.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x5a'));
    file.close();
    p.windows.downloader().chooseFile = [&](QWidget*, const QString&, const QString&) {
        return file.fileName();
    };
    bool othersHeld = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!p.windows.downloader().running()) return;
        othersHeld = !p.windows.timingWindow()->isEnabled() &&
                     !p.windows.remoteWindow()->isEnabled() &&
                     !p.mainWindow.findChild<QPushButton*>("Command1")->isEnabled();
    });
    probe.start(0);
    p.click("Command10");
    probe.stop();

    EXPECT_TRUE(othersHeld);
    EXPECT_TRUE(p.windows.timingWindow()->isEnabled());
    EXPECT_TRUE(p.windows.remoteWindow()->isEnabled());
    EXPECT_TRUE(p.mainWindow.findChild<QPushButton*>("Command10")->isEnabled());
    EXPECT_TRUE(p.mainWindow.statusLine()->text().contains("Write OK"));
    const auto commands = commandsIn(p.tracePath);
    const auto erase = std::find_if(commands.begin(), commands.end(),
                                    [](const auto& c) { return c[0] == 4 || c[0] == 5; });
    ASSERT_NE(erase, commands.end());
    EXPECT_EQ((std::vector<int>(erase->begin() + 2, erase->begin() + 5)),
              (std::vector<int>{0x00, 0x80, 0x0E}));
    EXPECT_EQ(p.transport.unit().flash()[0x0E8000], 0x5a);
}

TEST(ProgramWindows, EveryDataReportOfADownloadFollowsItsOffsetInTheStatusLine) {
    QTemporaryDir dir;
    QFile file(dir.path() + "/rom.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8 * 300, '\x11'));
    file.close();

    sim::SimTransport unit;
    link::testing::RecordingTransport recorder(unit);
    link::DeviceLink link(recorder, 20ms);
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow mainWindow(session);
    ProgramWindows windows(session, mainWindow);
    mainWindow.load();
    mainWindow.show();
    windows.downloader().chooseFile = [&](QWidget*, const QString&, const QString&) {
        return file.fileName();
    };
    bool writing = false;
    QStringList textsAtDataReports;
    recorder.afterWrite = [&](const link::testing::RecordingTransport::Command& c) {
        if (writing) textsAtDataReports << mainWindow.statusText();
        if (c[0] == 1) writing = true;
        if (textsAtDataReports.size() == 300) writing = false;
    };
    mainWindow.findChild<QPushButton*>("Command10")->click();

    ASSERT_EQ(textsAtDataReports.size(), 300);
    EXPECT_EQ(textsAtDataReports[3], "18byte");
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(textsAtDataReports[i], QString::number(8 * i, 16).toUpper() + "byte") << i;
}

TEST(ProgramWindows, ATimingWindowClosedDuringADownloadClosesAndItsAccessEndFollowsTheData) {
    QTemporaryDir dir;
    QFile file(dir.path() + "/rom.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray rom(8 * 400, 0);
    for (int i = 0; i < rom.size(); ++i) rom[i] = static_cast<char>(i * 7 + i / 256);
    file.write(rom);
    file.close();

    sim::SimTransport unit;
    link::testing::RecordingTransport recorder(unit);
    link::DeviceLink link(recorder, 20ms);
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow mainWindow(session);
    ProgramWindows windows(session, mainWindow);
    mainWindow.load();
    mainWindow.show();
    mainWindow.findChild<QPushButton*>("Command1")->click();
    QPointer<QWidget> timing = windows.timingWindow();
    ASSERT_TRUE(timing);
    windows.downloader().chooseFile = [&](QWidget*, const QString&, const QString&) {
        return file.fileName();
    };

    // The user closes the timing window with its close box after data report 100.
    int dataReports = -1;
    bool closedAtOnce = false;
    recorder.afterWrite = [&](const link::testing::RecordingTransport::Command& c) {
        if (dataReports < 0) {
            if (c[0] == 1) dataReports = 0;
            return;
        }
        if (++dataReports != 100) return;
        QTimer::singleShot(0, timing, [&] {
            timing->close();
            closedAtOnce = !timing->isVisible();
        });
    };
    const std::size_t mark = recorder.commands.size();
    mainWindow.findChild<QPushButton*>("Command10")->click();

    EXPECT_TRUE(closedAtOnce);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(timing);
    EXPECT_TRUE(mainWindow.statusLine()->text().contains("Write OK"))
        << mainWindow.statusText().toStdString();

    const std::vector<link::testing::RecordingTransport::Command> sent(
        recorder.commands.begin() + static_cast<std::ptrdiff_t>(mark), recorder.commands.end());
    const auto start =
        std::find_if(sent.begin(), sent.end(), [](const auto& c) { return c[0] == 1; });
    ASSERT_GE(sent.end() - start, 403);
    for (int r = 0; r < 400; ++r) {
        const auto& c = start[1 + r];
        ASSERT_TRUE(
            std::equal(c.begin(), c.end(), rom.begin() + 8 * r,
                       [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }))
            << "data report " << r;
    }
    // Timing access end, once, after the data and before the verify.
    EXPECT_EQ(start[401][0], 0x0F);
    EXPECT_EQ(start[401][1], 0x00);
    EXPECT_EQ(start[402][0], 6);
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const auto& c) { return c[0] == 0x0F && c[1] == 0x00; }),
              1);
    for (int i = 0; i < rom.size(); ++i)
        ASSERT_EQ(unit.unit().flash()[0x0E8000 + i], static_cast<std::uint8_t>(rom[i])) << i;
}

// The real end of the program: the process ends, and the trace shows what was sent until then.
struct EndingProgram {
    std::unique_ptr<link::Trace> trace;
    sim::SimTransport transport;
    link::DeviceLink link{transport, 20ms, trace.get()};
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] { ui::endProcessNow(); }};
    MainWindow mainWindow{session};
    ProgramWindows windows{session, mainWindow};

    explicit EndingProgram(const std::string& tracePath) : trace(link::Trace::open(tracePath)) {
        mainWindow.load();
        mainWindow.show();
    }
    void click(const char* name) { mainWindow.findChild<QPushButton*>(name)->click(); }
};

void closeMainWindowWhileTheTimingWindowIsOpen(const std::string& tracePath) {
    EndingProgram p(tracePath);
    p.click("Command1");
    p.mainWindow.close();
    std::exit(3);
}

void pressThePowerKeyWhileTheCaptureWindowIsOpen(const std::string& tracePath) {
    EndingProgram p(tracePath);
    p.click("Command3");
    p.click("Command2");
    p.trace->note("power key");
    p.windows.remoteWindow()->findChild<QAbstractButton*>("Command18")->click();
    std::exit(3);
}

// The death test's child runs the test body again, so the trace needs a name both agree on.
std::string deathTracePath(const char* name) {
    const std::string path = (QDir::tempPath() + "/kavo3-" + name + "-trace.txt").toStdString();
    std::remove(path.c_str());
    return path;
}

std::vector<std::string> traceAfter(const std::string& path, const std::string& marker) {
    std::ifstream in(path);
    std::vector<std::string> after;
    bool seen = false;
    for (std::string line; std::getline(in, line);) {
        if (seen) after.push_back(line);
        if (line == "# " + marker) seen = true;
    }
    EXPECT_TRUE(seen);
    return after;
}

TEST(EndOfProgramDeathTest, ClosingTheMainWindowSendsNoTimingAccessEnd) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = deathTracePath("close-main");
    EXPECT_EXIT(closeMainWindowWhileTheTimingWindowIsOpen(path), ::testing::ExitedWithCode(0),
                "");
    EXPECT_EQ(countCommands(path, {0x0F, 0x01}), 1);
    EXPECT_EQ(countCommands(path, {0x0F, 0x00}), 0);
}

TEST(EndOfProgramDeathTest, ThePowerKeyEndsTheProgramWithOtherWindowsOpenAndSendsNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = deathTracePath("power-key");
    EXPECT_EXIT(pressThePowerKeyWhileTheCaptureWindowIsOpen(path), ::testing::ExitedWithCode(0),
                "");
    EXPECT_THAT(traceAfter(path, "power key"), ::testing::IsEmpty());
}

}  // namespace
}  // namespace kavo3::app
