// Whole runs against the simulated unit: what goes over the wire, in which order, what the
// status line says at each step, and what the unit's NOR flash holds afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "LinkRig.h"
#include "TestFiles.h"
#include "download/FileSum.h"
#include "download/DownloadSequence.h"
#include "download/StatusTexts.h"
#include "link/ConnectionCheck.h"
#include "sim/FlashRom.h"

namespace kavo3::download {
namespace {

using namespace std::chrono_literals;
using Command = std::array<std::uint8_t, 8>;

constexpr std::uint32_t kStart = 0x0E8000;

class Download {
  public:
    explicit Download(sim::SimOptions options = {})
        : rig_(options, {.recorded = true}) {
        rig_.link.OpenDevice();
    }

    DownloadResult run(const std::filesystem::path& file, std::uint32_t start = kStart,
                       std::chrono::milliseconds checksumWait = 200ms) {
        DownloadCallbacks callbacks;
        callbacks.status = [this](const std::string& text) { note(text); };
        callbacks.progress = [this](std::uint32_t offset) { note(progressText(offset)); };
        callbacks.processEvents = [this] { ++eventPasses; };
        callbacks.settleWait = [this](int ticks) {
            EXPECT_EQ(ticks, 2);
            ++settleWaits;
        };
        callbacks.stopRequested = [this] { return stop; };
        callbacks.padding = [this](std::uint32_t owed) { paddingOwed.push_back(owed); };
        return DownloadSequence(rig_.link, std::move(callbacks), checksumWait).run(start, file);
    }

    const std::vector<Command>& sent() const { return rig_.recorder.commands; }
    sim::SimTransport& sim() { return rig_.transport; }
    const std::vector<std::uint8_t>& flash() const { return rig_.transport.unit().flash(); }
    const sim::SimulatedUnit& unit() const { return rig_.transport.unit(); }
    link::DeviceLink& link() { return rig_.link; }

    std::size_t indexOf(const std::string& text) const {
        return static_cast<std::size_t>(std::find(texts.begin(), texts.end(), text) -
                                        texts.begin());
    }

    std::vector<std::string> texts;
    std::vector<std::size_t> sentAtText;  // reports sent when each text was shown
    std::function<void(const std::string&)> onText;
    int settleWaits = 0;
    int eventPasses = 0;
    bool stop = false;
    std::vector<std::uint32_t> paddingOwed;

  private:
    void note(const std::string& text) {
        texts.push_back(text);
        sentAtText.push_back(rig_.recorder.commands.size());
        if (onText) onText(text);
    }

    rigs::LinkRig<> rig_;
};

Command erase(std::uint8_t code, std::uint32_t address) {
    return {code,
            0,
            std::uint8_t(address),
            std::uint8_t(address >> 8),
            std::uint8_t(address >> 16),
            0x55,
            0xAA,
            0x55};
}

bool flashHolds(const std::vector<std::uint8_t>& flash, const std::vector<std::uint8_t>& bytes,
                std::size_t count, std::uint32_t at = kStart) {
    return std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count),
                      flash.begin() + at);
}

TEST(DownloadSequence, FileOf32KBytesIsErasedInSmallBlocksWrittenAndVerified) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(32768);
    const std::uint16_t sum = addToSum(0, bytes);
    Download d;

    const DownloadResult result = d.run(folder.write("a.bin", bytes));

    ASSERT_EQ(result.outcome, Outcome::WriteOk);
    EXPECT_EQ(result.romSum, sum);
    EXPECT_EQ(result.fileSum, sum);
    EXPECT_TRUE(flashHolds(d.flash(), bytes, bytes.size()));

    std::vector<Command> expected;
    for (std::uint32_t i = 0; i < 8; ++i) expected.push_back(erase(4, kStart + 0x1000 * i));
    expected.push_back({1, 0, 0x00, 0x80, 0x0E, 0x00, 0x80, 0x00});
    for (std::size_t r = 0; r < 4096; ++r) {
        Command data;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(8 * r), 8, data.begin());
        expected.push_back(data);
    }
    expected.push_back({6, 0, 0x00, 0x80, 0x0E, 0x00, 0x80, 0x00});
    expected.push_back({});  // one status poll: the unit is ready at once
    EXPECT_EQ(d.sent(), expected);

    // No "Erace": there is no large erase. Each data report is announced just before it.
    std::vector<std::string> texts{"Download"};
    for (std::uint32_t offset = 0; offset < 32768; offset += 8)
        texts.push_back(progressText(offset));
    texts.insert(texts.end(), {"Download End", "check sum start", verdictText(sum, sum)});
    EXPECT_EQ(d.texts, texts);
    for (std::size_t r = 0; r < 4096; ++r) ASSERT_EQ(d.sentAtText[1 + r], 9 + r) << r;

    // The erases and the write end wait twice each; one poll and the wait after it.
    EXPECT_EQ(d.settleWaits, 9 * 2 + 1 + 1);
    // "Download", each data report, "check sum start", the verdict.
    EXPECT_EQ(d.eventPasses, 1 + 4096 + 1 + 1);
}

TEST(DownloadSequence, FourthDataReportIsAnnouncedAs18byte) {
    testing::TempFolder folder;
    Download d;
    d.run(folder.write("c.bin", testing::patternBytes(64)));
    const std::size_t at = d.indexOf("18byte");
    ASSERT_LT(at, d.texts.size());
    EXPECT_EQ(d.texts[at - 1], "10byte");
    // One erase, the write start and three data reports went out before it.
    EXPECT_EQ(d.sentAtText[at], 1u + 1 + 3);
}

TEST(DownloadSequence, OddLengthFileOf40000BytesTakesOneLargeAndTwoSmallErases) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(40000 - 3);
    Download d;

    ASSERT_EQ(d.run(folder.write("b.bin", bytes)).outcome, Outcome::WriteOk);

    EXPECT_EQ(d.sent().at(0), erase(5, kStart));
    EXPECT_EQ(d.sent().at(1), erase(4, kStart + 0x8000));
    EXPECT_EQ(d.sent().at(2), erase(4, kStart + 0x9000));
    EXPECT_EQ(d.sent().at(3), (Command{1, 0, 0x00, 0x80, 0x0E, 0x40, 0x9C, 0x00}));  // n = 40000
    // The last data report: five bytes of the file and three of erased flash.
    const Command& last = d.sent().at(3 + 5000);
    EXPECT_TRUE(std::equal(last.begin(), last.begin() + 5, bytes.end() - 5));
    EXPECT_EQ(last[5] & last[6] & last[7], 0xFF);
    // The checksum covers the file's own bytes: L, not n.
    EXPECT_EQ(d.sent().at(4 + 5000), (Command{6, 0, 0x00, 0x80, 0x0E, 0x3D, 0x9C, 0x00}));
    EXPECT_EQ(std::count(d.texts.begin(), d.texts.end(), "Erace"), 1);
    EXPECT_EQ(d.texts.front(), "Erace");
    EXPECT_EQ(d.sentAtText.front(), 1u);  // shown after the large erase, before the small ones

    EXPECT_TRUE(flashHolds(d.flash(), bytes, bytes.size()));
    // Padding and the unwritten rest of the last 4 KB block read as erased flash.
    for (std::uint32_t a = kStart + 39997; a < kStart + 0xA000; ++a)
        ASSERT_EQ(d.flash()[a], 0xFF) << std::hex << a;
}

TEST(DownloadSequence, FileOverOneMebibyteStopsAtOneMebibyte) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(0x100000 + 4096);
    Download d;
    const std::vector<std::uint8_t> before = d.flash();

    const DownloadResult result = d.run(folder.write("big.bin", bytes));

    ASSERT_EQ(result.outcome, Outcome::WriteOk);
    EXPECT_EQ(result.length, 0x100000u);
    EXPECT_EQ(result.fileSum, addToSum(0, std::span(bytes).first(0x100000)));
    EXPECT_TRUE(flashHolds(d.flash(), bytes, 0x100000));
    // Nothing outside the area was erased or written.
    EXPECT_TRUE(std::equal(before.begin() + kStart + 0x100000, before.end(),
                           d.flash().begin() + kStart + 0x100000));
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + kStart, d.flash().begin()));

    EXPECT_EQ(d.sent().at(0), erase(5, kStart));
    EXPECT_EQ(d.sent().at(30), erase(5, kStart + 30 * 0x8000));
    EXPECT_EQ(d.sent().at(31), erase(4, kStart + 31 * 0x8000));
    EXPECT_EQ(d.sent().at(38), erase(4, kStart + 31 * 0x8000 + 7 * 0x1000));
    EXPECT_EQ(d.sent().at(39), (Command{1, 0, 0x00, 0x80, 0x0E, 0x00, 0x00, 0x10}));
    EXPECT_EQ(d.sent().at(40 + 0x20000), (Command{6, 0, 0x00, 0x80, 0x0E, 0x00, 0x00, 0x10}));
    EXPECT_EQ(std::count(d.texts.begin(), d.texts.end(), "Erace"), 31);
    EXPECT_EQ(d.texts.at(31 + 1 + 0x20000 - 1), "FFFF8byte");
}

TEST(DownloadSequence, OnlyTheLowAddressBitsGoOnTheWire) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(8);
    Download d;
    EXPECT_EQ(d.run(folder.write("d.bin", bytes), 0x7F123456).outcome, Outcome::WriteOk);
    EXPECT_EQ(d.sent().at(0), erase(4, 0x123456));
    EXPECT_EQ(d.sent().at(1), (Command{1, 0, 0x56, 0x34, 0x12, 8, 0, 0}));
    EXPECT_TRUE(flashHolds(d.flash(), bytes, 8, 0x123456));
}

TEST(DownloadSequence, SlowChecksumIsPolledAgainAfterEachSettleWait) {
    testing::TempFolder folder;
    sim::SimOptions options;
    options.checksumPolls = 5;
    Download d(options);

    ASSERT_EQ(d.run(folder.write("e.bin", testing::patternBytes(100))).outcome, Outcome::WriteOk);

    // Erase, write start, 13 data reports, the request, five polls not ready and the ready one.
    ASSERT_EQ(d.sent().size(), 1u + 1 + 13 + 1 + 6);
    for (std::size_t i = 16; i < d.sent().size(); ++i) EXPECT_EQ(d.sent()[i], Command{});
    // The erase and the write end wait twice each; six polls and the wait after them.
    EXPECT_EQ(d.settleWaits, 2 * 2 + 6 + 1);
}

TEST(DownloadSequence, CorruptedWritesEndInWriteError) {
    testing::TempFolder folder;
    sim::SimOptions options;
    options.corruptFlash = true;
    Download d(options);
    const auto bytes = testing::patternBytes(40000);

    const DownloadResult result = d.run(folder.write("f.bin", bytes));

    EXPECT_EQ(result.outcome, Outcome::SumMismatch);
    EXPECT_EQ(result.fileSum, addToSum(0, bytes));
    EXPECT_NE(result.romSum, result.fileSum);
    EXPECT_EQ(d.texts.back(),
              "Write error  rom=" + hexText(result.romSum) + " file=" + hexText(result.fileSum));
}

TEST(DownloadSequence, ChecksumThatNeverGetsReadyIsGivenUpAfterTheBound) {
    testing::TempFolder folder;
    sim::SimOptions options;
    options.checksumPolls = -1;
    Download d(options);

    const auto begin = std::chrono::steady_clock::now();
    const DownloadResult result =
        d.run(folder.write("g.bin", testing::patternBytes(8)), kStart, 30ms);

    EXPECT_GE(std::chrono::steady_clock::now() - begin, 30ms);
    EXPECT_EQ(result.outcome, Outcome::ChecksumTimeout);
    EXPECT_EQ(d.texts.back(), "Write error  check sum timeout");
    EXPECT_EQ(d.sent().at(3), (Command{6, 0, 0x00, 0x80, 0x0E, 8, 0, 0}));
    EXPECT_GE(d.sent().size(), 1u + 1 + 1 + 1 + 2);  // polled more than once
}

TEST(DownloadSequence, RefusedFilesSendNothing) {
    testing::TempFolder folder;
    const std::filesystem::path directory = folder.path() / "sub";
    std::filesystem::create_directory(directory);
    Download d;

    EXPECT_EQ(d.run(folder.write("empty.bin", {})).outcome, Outcome::EmptyFile);
    EXPECT_EQ(d.texts.back(), "Write error  file size 0");
    EXPECT_EQ(d.run(folder.path() / "missing.bin").outcome, Outcome::FileOpenFailed);
    EXPECT_EQ(d.texts.back(), "Write error  file open");
    EXPECT_EQ(d.run(directory).outcome, Outcome::FileOpenFailed);
    EXPECT_EQ(d.texts.back(), "Write error  file open");

    EXPECT_TRUE(d.sent().empty());
    EXPECT_EQ(d.texts.size(), 3u);
    EXPECT_EQ(d.settleWaits, 0);
}

TEST(DownloadSequence, FileThatShrinksWhileWrittenStillSendsEveryAnnouncedReport) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(32768);
    const auto file = folder.write("h.bin", bytes);
    Download d;
    // The file loses its tail after the first data report, beyond what the stream has
    // already buffered.
    d.onText = [&](const std::string& text) {
        if (text == "8byte") std::filesystem::resize_file(file, 20);
    };

    const DownloadResult result = d.run(file);

    EXPECT_EQ(result.outcome, Outcome::FileReadFailed);
    EXPECT_EQ(d.texts.back(), "Write error  file read");
    // Erases, write start, all 4096 data reports and nothing after: no checksum is asked for.
    ASSERT_EQ(d.sent().size(), 8u + 1 + 4096);
    EXPECT_TRUE(std::equal(d.sent()[9].begin(), d.sent()[9].end(), bytes.begin()));
    EXPECT_EQ(d.sent().back(), (Command{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_LT(d.indexOf("Download End"), d.texts.size());
    EXPECT_EQ(d.indexOf("check sum start"), d.texts.size());
}

TEST(DownloadSequence, AStopSendsTheRestOfTheDataPhaseAsErasedBytesAndVerifiesNothing) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(4109);  // 514 data reports, the last one padded
    const auto file = folder.write("s.bin", bytes);
    constexpr std::size_t kReports = 514, kErases = 2;
    struct Case {
        const char* stopAtText;   // the stop comes while this text is shown; "" before the run
        std::size_t fileReports;  // data reports of the file that reach the unit
    };
    for (const Case c : {Case{"", 0}, Case{"0byte", 0}, Case{"8byte", 1}, Case{"800byte", 256},
                         Case{"1008byte", 513}, Case{"Download End", kReports}}) {
        SCOPED_TRACE(c.stopAtText);
        Download d;
        d.stop = *c.stopAtText == 0;
        d.onText = [&](const std::string& text) { d.stop = d.stop || text == c.stopAtText; };

        const DownloadResult result = d.run(file);

        EXPECT_EQ(result.outcome, Outcome::Stopped);
        EXPECT_EQ(result.length, std::min<std::size_t>(8 * c.fileReports, bytes.size()));
        if (d.stop && *c.stopAtText == 0) {
            EXPECT_TRUE(d.sent().empty());
            continue;
        }
        // Every announced data report and nothing after them: no checksum request.
        ASSERT_EQ(d.sent().size(), kErases + 1 + kReports);
        for (std::size_t r = 0; r < kReports; ++r) {
            const Command& sent = d.sent()[kErases + 1 + r];
            if (r < c.fileReports)
                ASSERT_TRUE(std::equal(
                    sent.begin(), sent.begin() + std::min<std::size_t>(8, bytes.size() - 8 * r),
                    bytes.begin() + static_cast<std::ptrdiff_t>(8 * r)))
                    << r;
            else
                ASSERT_EQ(sent, (Command{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})) << r;
        }
        // The unit's side: it counted them all, and its flash holds the sent part only.
        EXPECT_FALSE(d.unit().flashWriteRunning());
        EXPECT_TRUE(flashHolds(d.flash(), bytes, result.length));
        EXPECT_TRUE(std::all_of(d.flash().begin() + kStart + result.length,
                                d.flash().begin() + kStart + 0x2000,
                                [](std::uint8_t b) { return b == 0xFF; }));
        const bool insideDataPhase = c.fileReports < kReports;
        EXPECT_EQ(
            d.paddingOwed,
            insideDataPhase
                ? std::vector<std::uint32_t>{static_cast<std::uint32_t>(kReports - c.fileReports)}
                : std::vector<std::uint32_t>{});
        EXPECT_EQ(d.indexOf("check sum start"), d.texts.size());
    }
}

TEST(DownloadSequence, AUnitBackInTheMiddleOfTheDataIsLeftTakingCommandsWhetherItRestartedOrNot) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(4096);  // 512 data reports after one erase
    const auto file = folder.write("r.bin", bytes);
    const Command probe{2, 0, 0, 0, 0, 0, 0, 0};
    const Command erased{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (const bool restarts : {false, true, false, true, false, true}) {
        const int taken = std::uniform_int_distribution<int>(1, 511)(random);
        SCOPED_TRACE(std::string(restarts ? "restarts" : "keeps its state") + ", back after " +
                     std::to_string(taken) + " data reports");
        sim::SimOptions options;
        options.unplugAfter = 1 + 1 + taken;  // the erase, the write start, the data taken
        options.replugAfterMs = 0;
        options.replugRestarts = restarts;
        Download d(options);

        EXPECT_EQ(d.run(file).outcome, Outcome::UnitGone);
        EXPECT_EQ(d.texts.back(), "Write error  unit gone");
        // The next connection check finds it back: answered, whichever kind it is.
        EXPECT_EQ(link::checkConnection(d.link(), [](int) {}), link::Connection::Ready);
        EXPECT_FALSE(d.unit().flashWriteRunning());

        // After the data the unit took: one probe, erased bytes for the rest only where the
        // probe went unanswered, then the check. No file chunk ever reached it again.
        std::vector<Command> after(d.sent().begin() + 2 + taken, d.sent().end());
        ASSERT_FALSE(after.empty());
        EXPECT_EQ(after.back(), probe);  // the check itself
        after.pop_back();
        std::vector<Command> expected{after.front()};  // the data report that found it gone
        expected.push_back(probe);
        if (!restarts) expected.insert(expected.end(), 512 - taken - 1, erased);
        EXPECT_EQ(after, expected);
        EXPECT_TRUE(flashHolds(d.flash(), bytes, 8 * taken));
        const auto rest = d.flash().begin() + kStart + 8 * taken;
        if (!restarts) {
            EXPECT_TRUE(std::equal(probe.begin(), probe.end(), rest));
        }
        EXPECT_TRUE(std::all_of(rest + (restarts ? 0 : 8), d.flash().begin() + kStart + 4096,
                                [](std::uint8_t b) { return b == 0xFF; }));
    }
}

TEST(DownloadSequence, AReportTheSystemDidNotTakeEndsTheFileDataAndTheRestGoesAsErasedBytes) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(4096);  // one erase, then 512 data reports
    const auto file = folder.write("w.bin", bytes);
    // Output reports counted from the erase: the write start is the second.
    for (const int refused : {2, 3, std::uniform_int_distribution<int>(4, 513)(random), 514}) {
        SCOPED_TRACE("report " + std::to_string(refused) + " not taken");
        sim::SimOptions options;
        options.refuseWrite = refused;
        Download d(options);

        EXPECT_EQ(d.run(file).outcome, Outcome::WriteRefused);
        EXPECT_EQ(d.texts.back(), "Write error  write refused");
        EXPECT_EQ(d.indexOf("check sum start"), d.texts.size());
        // The unit takes commands again, and holds the file only up to the refused report.
        EXPECT_FALSE(d.unit().flashWriteRunning());
        EXPECT_EQ(link::checkConnection(d.link(), [](int) {}), link::Connection::Ready);
        const std::uint32_t fileReports = refused <= 2 ? 0 : refused - 3;
        EXPECT_TRUE(flashHolds(d.flash(), bytes, 8 * fileReports));
        EXPECT_TRUE(std::all_of(d.flash().begin() + kStart + 8 * fileReports,
                                d.flash().begin() + kStart + 4096,
                                [](std::uint8_t b) { return b == 0xFF; }));
    }
}

TEST(DownloadSequence, VerifyReopensTheFileAndRefusesAChangedOne) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(64);
    const auto file = folder.write("i.bin", bytes);

    Download gone;
    gone.onText = [&](const std::string& text) {
        if (text == "Download End") std::filesystem::remove(file);
    };
    EXPECT_EQ(gone.run(file).outcome, Outcome::FileOpenFailed);
    EXPECT_EQ(gone.texts.back(), "Write error  file open");

    folder.write("i.bin", bytes);
    Download longer;
    longer.onText = [&](const std::string& text) {
        if (text == "Download End") std::filesystem::resize_file(file, 72);
    };
    EXPECT_EQ(longer.run(file).outcome, Outcome::FileChanged);
    EXPECT_EQ(longer.texts.back(), "Write error  file changed");

    // Same length, other content: the flash holds what was written, and the sums differ.
    folder.write("i.bin", bytes);
    Download replaced;
    replaced.onText = [&](const std::string& text) {
        if (text == "Download End") folder.write("i.bin", testing::patternBytes(64, 7));
    };
    EXPECT_EQ(replaced.run(file).outcome, Outcome::SumMismatch);
    EXPECT_TRUE(replaced.texts.back().starts_with("Write error  rom="));
    EXPECT_TRUE(flashHolds(replaced.flash(), bytes, 64));
}

}  // namespace
}  // namespace kavo3::download

namespace kavo3::download {
namespace {

// A unit that leaves before or during the data phase, or does not take the write start, ends
// the download at once: no file data, checksum request or poll reaches any unit after that,
// not even one that comes back meanwhile, and the verdict is a failure. The file's chunks read
// as erase commands, so a chunk taken for a command would erase flash.
TEST(DownloadSequence, AUnitLostBeforeOrDuringTheDataPhaseGetsNothingMoreAndTheRunFails) {
    struct Case {
        const char* name;
        int unplugAfter;       // output reports; -1: never by count
        int refuseWrite;       // this output report is not taken; -1: none
        std::string unplugAt;  // or at this status text
        std::string replugAt;  // plugged in again at this text, and at the verdict
        Outcome outcome;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"gone during the erase, back during the data", 2, -1, "", "100byte", Outcome::UnitGone,
         "unit gone"},
        {"gone in the data phase, back at once", -1, -1, "80byte", "88byte", Outcome::UnitGone,
         "unit gone"},
        {"write start not taken", -1, 10, "", "", Outcome::WriteRefused, "write refused"},
    };
    std::vector<std::uint8_t> chunks;
    for (int i = 0; i < 8192; ++i) chunks.insert(chunks.end(), {4, 0, 0x0E, 0x80, 0, 0, 0, 0});
    testing::TempFolder folder;
    const auto file = folder.write("chunks.bin", chunks);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimOptions options;
        options.unplugAfter = c.unplugAfter;
        options.refuseWrite = c.refuseWrite;
        Download d(options);
        std::size_t reportsAtLoss = 0;
        d.onText = [&](const std::string& text) {
            if (text == c.unplugAt) d.sim().unplug();
            if (d.sim().unplugged() && reportsAtLoss == 0)
                reportsAtLoss = d.sim().unit().reportsIn();
            if (text == c.replugAt || text.rfind("Write error", 0) == 0) d.sim().plugBackIn();
        };
        const DownloadResult result = d.run(file);

        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(d.texts.back(), writeErrorText(c.reason));
        const auto& seen = d.sim().unit().view().attachments();
        EXPECT_EQ(seen.count(2), 0u) << "the unit that came back was sent something";
        for (const Command& sent : d.sent()) EXPECT_NE(sent[0], 6) << "checksum request";
        if (reportsAtLoss > 0) {
            EXPECT_EQ(d.sim().unit().reportsIn(), reportsAtLoss);
        }
        // No chunk was taken for an erase of the block it names.
        const sim::FlashRom fresh;
        const auto& flash = d.sim().unit().flash();
        EXPECT_TRUE(std::equal(flash.begin() + 0x8000, flash.begin() + 0x9000,
                               fresh.bytes().begin() + 0x8000));
    }
}

}  // namespace
}  // namespace kavo3::download
