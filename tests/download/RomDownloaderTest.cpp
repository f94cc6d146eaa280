// The download as the main window runs it: the file dialog, the status line, the shared
// chosen path, the running hook and the refusal of a second run.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QWidget>

#include "TestFiles.h"
#include "WindowRig.h"
#include "download/FileSum.h"
#include "download/RomDownloader.h"
#include "download/StatusTexts.h"

namespace kavo3::download {
namespace {

using namespace std::chrono_literals;

QString qpath(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

struct Harness : rigs::WindowRig<> {
    QWidget mainWindow;
    QLineEdit* Text1 = new QLineEdit(&mainWindow);
    QStringList shown;
    std::function<void(const QString&)> onShown;
    RomDownloader downloader;
    int dialogs = 0;

    explicit Harness(sim::SimOptions options = {},
                     std::chrono::milliseconds checksumWait = DownloadSequence::kChecksumWait)
        : WindowRig(options, {.recorded = true}),
          downloader(
              session,
              [this](const QString& text) {
                  Text1->setText(text);
                  shown << text;
                  if (onShown) onShown(text);
              },
              &mainWindow, checksumWait) {
        Text1->setObjectName("Text1");
        Text1->setText(QString::fromUtf8("ＫＡＶＯ－３  Ｃｏｎｎｅｃｔ"));
        mainWindow.show();
        link.OpenDevice();
    }

    void choose(const QString& path) {
        downloader.chooseFile = [this, path](QWidget*, const QString&, const QString&) {
            ++dialogs;
            return path;
        };
    }

    std::array<std::uint8_t, 8> sent(std::size_t i) const { return recorder.commands.at(i); }
};

TEST(RomDownloader, CancelledChoiceChangesNothing) {
    Harness h;
    h.session.ChosenFileName = "/earlier/choice.bin";
    int hooks = 0;
    h.downloader.onRunning = [&](bool) { ++hooks; };
    h.choose(QString());

    h.downloader.download();

    EXPECT_EQ(h.dialogs, 1);
    EXPECT_TRUE(h.recorder.commands.empty());
    EXPECT_TRUE(h.shown.isEmpty());
    EXPECT_EQ(h.Text1->text(), QString::fromUtf8("ＫＡＶＯ－３  Ｃｏｎｎｅｃｔ"));
    EXPECT_EQ(h.session.ChosenFileName, "/earlier/choice.bin");
    EXPECT_EQ(hooks, 0);
    EXPECT_FALSE(h.downloader.running());
    EXPECT_FALSE(h.downloader.lastResult().has_value());
}

TEST(RomDownloader, AsksWithTheDesignedDialog) {
    Harness h;
    QWidget* parent = nullptr;
    QString title, folder;
    h.downloader.chooseFile = [&](QWidget* p, const QString& t, const QString& f) {
        parent = p;
        title = t;
        folder = f;
        return QString();
    };
    h.downloader.download();
    EXPECT_EQ(parent, &h.mainWindow);
    EXPECT_EQ(title, QString::fromUtf8("ファイルを開く"));
    EXPECT_EQ(folder, downloadStartFolder(QDir::homePath()));
}

#ifndef Q_OS_WIN
TEST(RomDownloader, StartsInTheKavo3FolderOfHomeWhenThereIsOne) {
    testing::TempFolder home;
    const QString homePath = qpath(home.path());
    EXPECT_EQ(downloadStartFolder(homePath), homePath);
    std::filesystem::create_directory(home.path() / "kavo3");
    EXPECT_EQ(downloadStartFolder(homePath), QDir(homePath).filePath("kavo3"));
}
#endif

TEST(RomDownloader, RunsAtTheMainWindowAddressShowsEachStepAndLeavesTheFileInFlash) {
    Harness h;
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(40000);
    const std::uint16_t sum = addToSum(0, bytes);
    const QString path = qpath(folder.write("rom.bin", bytes));
    h.choose(path);

    h.downloader.StartAddress = 0x0E8000;
    h.downloader.download();

    EXPECT_EQ(h.session.ChosenFileName, path);
    EXPECT_EQ(h.sent(0), (std::array<std::uint8_t, 8>{5, 0, 0x00, 0x80, 0x0E, 0x55, 0xAA, 0x55}));
    EXPECT_EQ(h.sent(3), (std::array<std::uint8_t, 8>{1, 0, 0x00, 0x80, 0x0E, 0x40, 0x9C, 0x00}));
    EXPECT_EQ(h.sent(4 + 5000),
              (std::array<std::uint8_t, 8>{6, 0, 0x00, 0x80, 0x0E, 0x40, 0x9C, 0x00}));

    // Every step text in order; of the data-report offsets, the first and then the latest
    // at the status line's pace, rising.
    QStringList steps;
    std::int64_t lastOffset = -8;
    for (const QString& text : h.shown) {
        if (!text.endsWith("byte")) {
            steps << text;
            continue;
        }
        EXPECT_EQ(steps, QStringList({"Erace", "Download"})) << text.toStdString();
        bool ok = false;
        const std::int64_t offset = text.chopped(4).toLongLong(&ok, 16);
        EXPECT_TRUE(ok && offset > lastOffset && offset % 8 == 0 && offset < 40000)
            << text.toStdString();
        if (lastOffset < 0) {
            EXPECT_EQ(text, "0byte");
        }
        lastOffset = offset;
    }
    EXPECT_EQ(steps, QStringList({"Erace", "Download", "Download End", "check sum start",
                                  QString::fromStdString(verdictText(sum, sum))}));
    EXPECT_EQ(h.Text1->text(), QString::fromStdString(verdictText(sum, sum)));
    EXPECT_TRUE(h.Text1->text().contains("  Write OK  rom="));
    const auto& flash = h.unit().flash();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), flash.begin() + 0x0E8000));
    ASSERT_TRUE(h.downloader.lastResult().has_value());
    EXPECT_EQ(h.downloader.lastResult()->outcome, Outcome::WriteOk);
}

TEST(RomDownloader, SecondDownloadDuringARunIsRefusedAndTheRunKeepsItsPath) {
    Harness h;
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(64);
    const QString path = qpath(folder.write("rom.bin", bytes));
    const QString other = qpath(folder.write("other.bin", testing::patternBytes(64, 9)));
    h.choose(path);

    std::vector<bool> hook;
    h.downloader.onRunning = [&](bool running) { hook.push_back(running); };
    bool runningInside = false;
    h.onShown = [&](const QString& text) {
        if (text != "Download End") return;
        runningInside = h.downloader.running();
        h.downloader.download();           // a click that got through
        h.session.ChosenFileName = other;  // another window's dialog
    };

    h.downloader.download();

    EXPECT_TRUE(runningInside);
    EXPECT_EQ(h.dialogs, 1);
    EXPECT_EQ(hook, (std::vector<bool>{true, false}));
    EXPECT_FALSE(h.downloader.running());
    // The verify summed the file that was written, not the one chosen meanwhile.
    EXPECT_EQ(h.downloader.lastResult()->outcome, Outcome::WriteOk);
    EXPECT_EQ(h.downloader.lastResult()->fileSum, addToSum(0, bytes));

    // Once the run is over, the next click starts a new one.
    h.choose(QString());
    h.downloader.download();
    EXPECT_EQ(h.dialogs, 2);
}

TEST(RomDownloader, RefusedFileEndsInWriteErrorAndReleasesTheWindows) {
    Harness h;
    testing::TempFolder folder;
    h.choose(qpath(folder.write("empty.bin", {})));
    std::vector<bool> hook;
    h.downloader.onRunning = [&](bool running) { hook.push_back(running); };

    h.downloader.download();
    EXPECT_EQ(h.Text1->text(), "Write error  file size 0");

    h.choose(qpath(folder.path() / "gone.bin"));
    h.downloader.download();
    EXPECT_EQ(h.Text1->text(), "Write error  file open");

    EXPECT_TRUE(h.recorder.commands.empty());
    EXPECT_EQ(hook, (std::vector<bool>{true, false, true, false}));
}

TEST(RomDownloader, ChecksumWaitComesFromTheConstructor) {
    sim::SimOptions neverReady;
    neverReady.checksumPolls = -1;
    Harness h(neverReady, 30ms);
    testing::TempFolder folder;
    h.choose(qpath(folder.write("rom.bin", testing::patternBytes(8))));

    h.downloader.download();

    EXPECT_EQ(h.Text1->text(), "Write error  check sum timeout");
    EXPECT_GE(h.recorder.commands.size(), 5u);  // erase, start, data, request, a poll
}

}  // namespace
}  // namespace kavo3::download

namespace kavo3::download {
namespace {

// The main window's download loses its unit during the erase; the unit is back while the
// data would go out. Nothing of the file reaches it, and the status line says the run failed.
TEST(RomDownloader, AUnitLostDuringTheEraseGetsNoChunkWhenItComesBack) {
    sim::SimOptions options;
    options.unplugAfter = 2;
    Harness h(options);
    testing::TempFolder folder;
    std::vector<std::uint8_t> chunks;
    for (int i = 0; i < 8192; ++i) chunks.insert(chunks.end(), {4, 0, 0x0E, 0x80, 0, 0, 0, 0});
    h.choose(qpath(folder.write("chunks.bin", chunks)));
    h.onShown = [&h](const QString&) {
        if (h.transport.unplugged()) h.transport.plugBackIn();
    };

    h.downloader.download();

    EXPECT_EQ(h.Text1->text(), "Write error  unit gone");
    EXPECT_FALSE(h.shown.contains("Download"));
    EXPECT_EQ(h.unit().reportsIn(), 2);
    EXPECT_EQ(h.unit().view().attachments().count(2), 0u);
}

}  // namespace
}  // namespace kavo3::download
