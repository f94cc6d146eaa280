// Whole runs against the simulated unit: its NOR flash must end up holding the file, and
// its faults must end in the texts the user is meant to see.
#include <gtest/gtest.h>

#include <memory>

#include "RecordingTransport.h"
#include "TestFiles.h"
#include "download/FileSum.h"
#include "download/RomDownload.h"
#include "download/StatusTexts.h"
#include "sim/SimTransport.h"

namespace kavo3::download {
namespace {

using namespace std::chrono_literals;
using Command = std::array<std::uint8_t, 8>;

constexpr std::uint32_t kStart = 0x0E8000;

class SimDownload {
  public:
    explicit SimDownload(sim::SimOptions options = {})
        : sim_(options), recorder_(sim_), link_(recorder_, 20ms) {
        link_.OpenDevice();
    }

    DownloadResult run(const std::filesystem::path& file, std::chrono::milliseconds wait = 200ms) {
        DownloadCallbacks callbacks;
        callbacks.status = [this](const std::string& text) { texts.push_back(text); };
        callbacks.progress = [this](std::uint32_t offset) {
            texts.push_back(progressText(offset));
            writtenAtText.push_back(recorder_.written.size());
        };
        callbacks.processEvents = [] {};
        callbacks.settleWait = [](int) {};
        return RomDownload(link_, std::move(callbacks), wait).run(kStart, file);
    }

    const std::vector<Command>& sent() const { return recorder_.written; }
    const std::vector<std::uint8_t>& flash() const { return sim_.unit().flash(); }

    std::vector<std::string> texts;
    std::vector<std::size_t> writtenAtText;  // reports sent when each offset was announced

  private:
    sim::SimTransport sim_;
    testing::RecordingTransport recorder_;
    link::DeviceLink link_;
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
                std::size_t count) {
    return std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count),
                      flash.begin() + kStart);
}

TEST(RomDownloadSim, ExactlyFourSmallBlocksWorthIsWrittenAndVerified) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(32768);
    const std::uint16_t sum = addToSum(0, bytes);
    SimDownload d;

    const DownloadResult result = d.run(folder.write("a.bin", bytes));

    ASSERT_EQ(result.outcome, Outcome::WriteOk);
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

    std::vector<std::string> texts{"Download"};
    for (std::uint32_t offset = 0; offset < 32768; offset += 8)
        texts.push_back(progressText(offset));
    texts.insert(texts.end(), {"Download End", "check sum start", verdictText(sum, sum)});
    EXPECT_EQ(d.texts, texts);
    EXPECT_EQ(d.writtenAtText.at(3), 8u + 1 + 3);  // "18byte" just before the fourth report
    EXPECT_EQ(d.texts.at(4), "18byte");
}

TEST(RomDownloadSim, OddLengthFileLeavesTheRestOfItsLastBlockErased) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(40000 - 3);
    SimDownload d;

    ASSERT_EQ(d.run(folder.write("b.bin", bytes)).outcome, Outcome::WriteOk);

    EXPECT_TRUE(flashHolds(d.flash(), bytes, bytes.size()));
    // Padding and the unwritten rest of the last 4 KB block read as erased flash.
    for (std::uint32_t a = kStart + 39997; a < kStart + 0xA000; ++a)
        ASSERT_EQ(d.flash()[a], 0xFF) << std::hex << a;
    EXPECT_EQ(d.sent().at(0), erase(5, kStart));
    EXPECT_EQ(d.sent().at(1), erase(4, kStart + 0x8000));
    EXPECT_EQ(d.sent().at(2), erase(4, kStart + 0x9000));
    EXPECT_EQ(std::count(d.texts.begin(), d.texts.end(), "Erace"), 1);
    EXPECT_EQ(d.texts.front(), "Erace");
}

TEST(RomDownloadSim, FileOverOneMebibyteStopsAtOneMebibyte) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(0x100000 + 4096);
    SimDownload d;
    const std::vector<std::uint8_t> before = d.flash();

    const DownloadResult result = d.run(folder.write("big.bin", bytes));

    ASSERT_EQ(result.outcome, Outcome::WriteOk);
    EXPECT_EQ(result.length, 0x100000u);
    EXPECT_TRUE(flashHolds(d.flash(), bytes, 0x100000));
    // Nothing past the area was erased or written.
    EXPECT_TRUE(std::equal(before.begin() + kStart + 0x100000, before.end(),
                           d.flash().begin() + kStart + 0x100000));
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + kStart, d.flash().begin()));
    EXPECT_EQ(d.sent().at(39), (Command{1, 0, 0x00, 0x80, 0x0E, 0x00, 0x00, 0x10}));
    EXPECT_EQ(d.sent().at(40 + 0x20000), (Command{6, 0, 0x00, 0x80, 0x0E, 0x00, 0x00, 0x10}));
}

TEST(RomDownloadSim, SlowChecksumIsPolledUntilReady) {
    testing::TempFolder folder;
    sim::SimOptions options;
    options.checksumPolls = 5;
    SimDownload d(options);

    ASSERT_EQ(d.run(folder.write("c.bin", testing::patternBytes(100))).outcome, Outcome::WriteOk);
    // Erase, write start, 13 data reports, the request, five polls not ready and the ready one.
    EXPECT_EQ(d.sent().size(), 1u + 1 + 13 + 1 + 6);
    EXPECT_EQ(d.sent().back(), Command{});
}

TEST(RomDownloadSim, CorruptedWritesEndInWriteError) {
    testing::TempFolder folder;
    sim::SimOptions options;
    options.corruptFlash = true;
    SimDownload d(options);
    const auto bytes = testing::patternBytes(40000);

    const DownloadResult result = d.run(folder.write("d.bin", bytes));

    EXPECT_EQ(result.outcome, Outcome::SumMismatch);
    EXPECT_EQ(result.fileSum, addToSum(0, bytes));
    EXPECT_NE(result.romSum, result.fileSum);
    EXPECT_EQ(d.texts.back(),
              "Write error  rom=" + hexText(result.romSum) + " file=" + hexText(result.fileSum));
}

TEST(RomDownloadSim, ChecksumThatNeverGetsReadyIsGivenUp) {
    testing::TempFolder folder;
    sim::SimOptions options;
    options.checksumPolls = -1;
    SimDownload d(options);

    const DownloadResult result = d.run(folder.write("e.bin", testing::patternBytes(8)), 30ms);

    EXPECT_EQ(result.outcome, Outcome::ChecksumTimeout);
    EXPECT_EQ(d.texts.back(), "Write error  check sum timeout");
    EXPECT_GT(d.sent().size(), 1u + 1 + 1 + 1 + 1);
}

}  // namespace
}  // namespace kavo3::download
