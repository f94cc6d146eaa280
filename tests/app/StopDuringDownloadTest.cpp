// The window program asked to end during a download's data phase, by its close box or by
// SIGTERM: every window goes at once, the unit still gets every data report the write start
// announced (the rest as erased bytes), nothing is verified, and only then does the program end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <random>

#include "app/EndOnSignals.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "download/RomDownloader.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimTransport.h"

namespace kavo3::app {
namespace {

using namespace std::chrono_literals;
using Command = link::testing::RecordingTransport::Command;

bool anyWindowVisible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) return true;
    return false;
}

enum class Ending { CloseBox, Sigterm };

TEST(StopDuringDownload, TheUnitGetsTheWholeDataPhaseBeforeTheProgramEnds) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    constexpr int kReports = 600;
    QTemporaryDir dir;
    QFile file(dir.path() + "/rom.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray rom(8 * kReports, 0);
    for (int i = 0; i < rom.size(); ++i) rom[i] = static_cast<char>(i * 7 + i / 256 + 1);
    file.write(rom);
    file.close();

#ifdef _WIN32
    // A window program on Windows is sent no SIGTERM: its ends are the close box and logout.
    const Ending endings[] = {Ending::CloseBox, Ending::CloseBox};
#else
    const Ending endings[] = {Ending::CloseBox, Ending::Sigterm, Ending::CloseBox, Ending::Sigterm};
#endif
    for (const Ending ending : endings) {
        const int stopAt = std::uniform_int_distribution<int>(1, kReports - 1)(random);
        SCOPED_TRACE(
            (ending == Ending::CloseBox ? "close box at data report " : "SIGTERM at data report ") +
            std::to_string(stopAt));
        sim::SimTransport unit;
        link::testing::RecordingTransport recorder(unit);
        link::DeviceLink link(recorder, 20ms);
        ui::SettleClock clock;
        int ends = 0;
        bool unitDoneAtEnd = false;
        bool windowsGoneAtEnd = false;
        ui::ProgramState session{link, clock, {}, [&] {
                                ++ends;
                                unitDoneAtEnd = !unit.unit().flashWriteRunning();
                                windowsGoneAtEnd = !anyWindowVisible();
                            }};
        MainWindow mainWindow(session);
        ProgramWindows windows(session, mainWindow);
        int exitStatus = 0;
        EndOnSignals endOnSignals(session, exitStatus);
        mainWindow.load();
        mainWindow.show();
        mainWindow.findChild<QPushButton*>("Command1")->click();  // a timing window open too
        windows.downloader().chooseFile = [&](QWidget*, const QString&, const QString&) {
            return file.fileName();
        };

        int dataReports = -1;
        bool goneAtOnce = false;
        recorder.afterWrite = [&](const Command& c) {
            if (dataReports < 0) {
                if (c[0] == 1) dataReports = 0;
                return;
            }
            if (++dataReports != stopAt) return;
            QTimer::singleShot(0, &mainWindow, [&] {
                if (ending == Ending::CloseBox) {
                    mainWindow.close();
                    goneAtOnce = !anyWindowVisible();
                } else {
                    std::raise(SIGTERM);
                }
            });
        };
        const std::size_t mark = recorder.commands.size();
        mainWindow.findChild<QPushButton*>("Command10")->click();

        EXPECT_EQ(ends, 1);
        EXPECT_TRUE(unitDoneAtEnd);
        EXPECT_TRUE(windowsGoneAtEnd);
        if (ending == Ending::CloseBox) {
            EXPECT_TRUE(goneAtOnce);
        }
        EXPECT_EQ(exitStatus, ending == Ending::Sigterm ? 128 + SIGTERM : 0);
        ASSERT_TRUE(windows.downloader().lastResult());
        EXPECT_EQ(windows.downloader().lastResult()->outcome, download::Outcome::Stopped);

        // From the write start on: the file up to the stop, erased bytes for the rest, and
        // nothing after them (no verify).
        const std::vector<Command> sent(recorder.commands.begin() + static_cast<long>(mark),
                                        recorder.commands.end());
        const auto start =
            std::find_if(sent.begin(), sent.end(), [](const Command& c) { return c[0] == 1; });
        ASSERT_EQ(sent.end() - start, 1 + kReports);
        const auto firstErased = std::find(start + 1, sent.end(),
                                           Command{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        EXPECT_GE(firstErased - (start + 1), stopAt);
        for (auto c = start + 1; c != sent.end(); ++c) {
            const long r = c - (start + 1);
            if (c < firstErased)
                ASSERT_TRUE(std::equal(
                    c->begin(), c->end(), rom.begin() + 8 * r,
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }))
                    << "data report " << r;
            else
                ASSERT_EQ(*c, *firstErased) << "data report " << r;
        }
    }
}

}  // namespace
}  // namespace kavo3::app
