// The download sequence against a scripted transport: what goes over the wire, in which
// order, and what the status line says at each step.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "TestFiles.h"
#include "download/FileSum.h"
#include "download/RomDownload.h"
#include "download/StatusTexts.h"
#include "link/testing/FakeTransport.h"

namespace kavo3::download {
namespace {

using namespace std::chrono_literals;
using Command = std::array<std::uint8_t, 8>;

constexpr std::uint32_t kStart = 0x0E8000;

class RomDownloadTest : public ::testing::Test {
  protected:
    RomDownloadTest() {
        transport.interfaces.push_back({"/dev/hidraw0", {0x17A7, 0x0001, 0}});
        link = std::make_unique<link::DeviceLink>(transport, 20ms);
        link->OpenDevice();
    }

    DownloadResult run(const std::filesystem::path& file, std::uint32_t start = kStart,
                       std::chrono::milliseconds checksumWait = 200ms) {
        DownloadCallbacks callbacks;
        callbacks.status = [this](const std::string& text) {
            texts.push_back(text);
            writtenAtText.push_back(transport.written.size());
            if (onText) onText(text);
        };
        callbacks.progress = [this](std::uint32_t offset) {
            texts.push_back(progressText(offset));
            writtenAtText.push_back(transport.written.size());
            if (onText) onText(texts.back());
        };
        callbacks.processEvents = [this] { ++eventPasses; };
        callbacks.settleWait = [this](int ticks) {
            EXPECT_EQ(ticks, 2);
            ++settleWaits;
        };
        RomDownload download(*link, std::move(callbacks), checksumWait);
        return download.run(start, file);
    }

    // Answers for the erases and the end of the write, then the checksum polls.
    void answerUnit(std::uint32_t pacingAnswers, std::uint16_t romSum, int notReadyPolls = 0) {
        for (std::uint32_t i = 0; i < pacingAnswers; ++i) transport.answer({0, 0x5A});
        for (int i = 0; i < notReadyPolls; ++i) transport.answer({0, 0, 0x12, 0x34});
        transport.answer(
            {0, 1, static_cast<std::uint8_t>(romSum), static_cast<std::uint8_t>(romSum >> 8)});
    }

    std::vector<Command> commands() const {
        std::vector<Command> out;
        for (const auto& report : transport.written) {
            Command c{};
            std::copy(report.begin() + 1, report.begin() + 9, c.begin());
            out.push_back(c);
        }
        return out;
    }

    // The texts without the one per data report.
    std::vector<std::string> stepTexts() const {
        std::vector<std::string> out;
        for (const auto& t : texts)
            if (!t.ends_with("byte")) out.push_back(t);
        return out;
    }

    std::size_t indexOfText(const std::string& text) const {
        return static_cast<std::size_t>(std::find(texts.begin(), texts.end(), text) -
                                        texts.begin());
    }

    link::testing::FakeTransport transport;
    std::unique_ptr<link::DeviceLink> link;
    testing::TempFolder folder;
    std::vector<std::string> texts;
    std::vector<std::size_t> writtenAtText;
    std::function<void(const std::string&)> onText;
    int settleWaits = 0;
    int eventPasses = 0;
};

Command erase(std::uint8_t code, std::uint32_t address) {
    return {code,
            0,
            static_cast<std::uint8_t>(address),
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address >> 16),
            0x55,
            0xAA,
            0x55};
}

TEST_F(RomDownloadTest, FileOf32KBytesIsErasedInSmallBlocksOnly) {
    const auto bytes = testing::patternBytes(32768);
    const std::uint16_t sum = addToSum(0, bytes);
    answerUnit(8 + 1, sum);

    const DownloadResult result = run(folder.write("a.bin", bytes));

    EXPECT_EQ(result.outcome, Outcome::WriteOk);
    const auto sent = commands();
    ASSERT_EQ(sent.size(), 8u + 1 + 4096 + 1 + 1);
    for (std::uint32_t i = 0; i < 8; ++i) EXPECT_EQ(sent[i], erase(4, kStart + 0x1000 * i)) << i;
    EXPECT_EQ(sent[8], (Command{1, 0, 0x00, 0x80, 0x0E, 0x00, 0x80, 0x00}));
    for (std::size_t r = 0; r < 4096; ++r)
        ASSERT_TRUE(std::equal(sent[9 + r].begin(), sent[9 + r].end(), bytes.begin() + 8 * r))
            << "data report " << r;
    EXPECT_EQ(sent[4105], (Command{6, 0, 0x00, 0x80, 0x0E, 0x00, 0x80, 0x00}));
    EXPECT_EQ(sent[4106], Command{});  // the status poll

    EXPECT_EQ(stepTexts(), (std::vector<std::string>{"Download", "Download End", "check sum start",
                                                     verdictText(sum, sum)}));
    // Every data report is announced by its offset, in order, just before it goes out.
    ASSERT_EQ(texts.size(), 4096u + 4);
    for (std::uint32_t r = 0; r < 4096; ++r) {
        ASSERT_EQ(texts[1 + r], progressText(8 * r));
        ASSERT_EQ(writtenAtText[1 + r], 9u + r);
    }
    // 8 erases and the write end wait twice each; one poll and the wait after it.
    EXPECT_EQ(settleWaits, 9 * 2 + 1 + 1);
    // "Download", each data report, "check sum start", the verdict.
    EXPECT_EQ(eventPasses, 1 + 4096 + 1 + 1);
    EXPECT_EQ(result.romSum, sum);
    EXPECT_EQ(result.fileSum, sum);
}

TEST_F(RomDownloadTest, FileOf40000BytesTakesOneLargeAndTwoSmallErases) {
    const auto bytes = testing::patternBytes(40000);
    answerUnit(3 + 1, addToSum(0, bytes));

    EXPECT_EQ(run(folder.write("b.bin", bytes)).outcome, Outcome::WriteOk);

    const auto sent = commands();
    EXPECT_EQ(sent[0], erase(5, kStart));
    EXPECT_EQ(sent[1], erase(4, kStart + 0x8000));
    EXPECT_EQ(sent[2], erase(4, kStart + 0x9000));
    EXPECT_EQ(sent[3], (Command{1, 0, 0x00, 0x80, 0x0E, 0x40, 0x9C, 0x00}));  // 40000 = 0x9C40
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Erace"), 1);
    // "Erace" follows the large erase and comes before the small ones.
    EXPECT_EQ(writtenAtText[indexOfText("Erace")], 1u);
    EXPECT_EQ(texts.front(), "Erace");
}

TEST_F(RomDownloadTest, FileOverOneMebibyteIsCutAtOneMebibyte) {
    auto bytes = testing::patternBytes(0x100000 + 100);
    const std::uint16_t sumOfFirstMebibyte = addToSum(0, std::span(bytes).first(0x100000));
    ASSERT_NE(sumOfFirstMebibyte, addToSum(0, bytes));
    answerUnit(31 + 8 + 1, sumOfFirstMebibyte);

    const DownloadResult result = run(folder.write("big.bin", bytes));

    EXPECT_EQ(result.outcome, Outcome::WriteOk);
    EXPECT_EQ(result.length, 0x100000u);
    const auto sent = commands();
    ASSERT_EQ(sent.size(), 39u + 1 + 0x20000 + 1 + 1);
    EXPECT_EQ(sent[0], erase(5, kStart));
    EXPECT_EQ(sent[30], erase(5, kStart + 30 * 0x8000));
    EXPECT_EQ(sent[31], erase(4, kStart + 31 * 0x8000));
    EXPECT_EQ(sent[38], erase(4, kStart + 31 * 0x8000 + 7 * 0x1000));
    EXPECT_EQ(sent[39], (Command{1, 0, 0x00, 0x80, 0x0E, 0x00, 0x00, 0x10}));
    EXPECT_EQ(sent[40 + 0x20000 - 1][7], bytes[0x100000 - 1]);
    EXPECT_EQ(sent[40 + 0x20000], (Command{6, 0, 0x00, 0x80, 0x0E, 0x00, 0x00, 0x10}));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Erace"), 31);
    EXPECT_EQ(texts[31 + 1 + 0x20000 - 1], "FFFF8byte");
}

TEST_F(RomDownloadTest, ShortLastReportIsPaddedWithErasedBytesAndTheSumCoversTheFileOnly) {
    const auto bytes = testing::patternBytes(21);
    answerUnit(1 + 1, addToSum(0, bytes));

    EXPECT_EQ(run(folder.write("odd.bin", bytes)).outcome, Outcome::WriteOk);

    const auto sent = commands();
    EXPECT_EQ(sent[0], erase(4, kStart));
    EXPECT_EQ(sent[1], (Command{1, 0, 0x00, 0x80, 0x0E, 24, 0, 0}));  // padded count n
    const Command last = sent[4];
    EXPECT_TRUE(std::equal(last.begin(), last.begin() + 5, bytes.begin() + 16));
    EXPECT_EQ(last[5], 0xFF);
    EXPECT_EQ(last[6], 0xFF);
    EXPECT_EQ(last[7], 0xFF);
    EXPECT_EQ(sent[5], (Command{6, 0, 0x00, 0x80, 0x0E, 21, 0, 0}));  // exact length L
}

TEST_F(RomDownloadTest, FourthDataReportIsAnnouncedAs18byte) {
    answerUnit(2, 0);
    run(folder.write("c.bin", testing::patternBytes(64)));
    const std::size_t at = indexOfText("18byte");
    ASSERT_LT(at, texts.size());
    // One erase, the write start and three data reports went out before it.
    EXPECT_EQ(writtenAtText[at], 1u + 1 + 3);
    EXPECT_EQ(texts[at - 1], "10byte");
}

TEST_F(RomDownloadTest, OnlyTheLowAddressBitsGoOnTheWire) {
    answerUnit(2, 0);
    run(folder.write("d.bin", testing::patternBytes(8)), 0x7F123456);
    const auto sent = commands();
    EXPECT_EQ(sent[0], erase(4, 0x123456));
    EXPECT_EQ(sent[1], (Command{1, 0, 0x56, 0x34, 0x12, 8, 0, 0}));
}

TEST_F(RomDownloadTest, SlowChecksumIsPolledAgainAfterEachSettleWait) {
    const auto bytes = testing::patternBytes(8);
    answerUnit(2, addToSum(0, bytes), /*notReadyPolls=*/3);

    const DownloadResult result = run(folder.write("e.bin", bytes));

    EXPECT_EQ(result.outcome, Outcome::WriteOk);
    const auto sent = commands();
    ASSERT_EQ(sent.size(), 1u + 1 + 1 + 1 + 4);
    for (std::size_t i = 4; i < 8; ++i) EXPECT_EQ(sent[i], Command{});
    // The erase and the write end wait twice each; four polls and the wait after them.
    EXPECT_EQ(settleWaits, 2 * 2 + 4 + 1);
    // The answer that was not ready carried a sum that must not be taken.
    EXPECT_EQ(result.romSum, addToSum(0, bytes));
}

TEST_F(RomDownloadTest, DifferentSumsEndInWriteError) {
    const auto bytes = testing::patternBytes(16);
    const auto fileSum = addToSum(0, bytes);
    const auto romSum = static_cast<std::uint16_t>(fileSum ^ 0x0100);
    answerUnit(2, romSum);

    const DownloadResult result = run(folder.write("f.bin", bytes));

    EXPECT_EQ(result.outcome, Outcome::SumMismatch);
    EXPECT_EQ(texts.back(), "Write error  rom=" + hexText(romSum) + " file=" + hexText(fileSum));
}

TEST_F(RomDownloadTest, ChecksumThatNeverGetsReadyEndsAfterTheBound) {
    const auto bytes = testing::patternBytes(8);
    transport.answer({0, 0x5A});
    transport.answer({0, 0x5A});
    // No more answers: every poll reads zeros.
    const auto begin = std::chrono::steady_clock::now();
    const DownloadResult result = run(folder.write("g.bin", bytes), kStart, 30ms);
    const auto took = std::chrono::steady_clock::now() - begin;

    EXPECT_EQ(result.outcome, Outcome::ChecksumTimeout);
    EXPECT_EQ(texts.back(), "Write error  check sum timeout");
    EXPECT_GE(took, 30ms);
    EXPECT_GE(commands().size(), 1u + 1 + 1 + 1 + 1);
    EXPECT_EQ(commands()[3], (Command{6, 0, 0x00, 0x80, 0x0E, 8, 0, 0}));
}

TEST_F(RomDownloadTest, RefusedFilesSendNothing) {
    const std::filesystem::path empty = folder.write("empty.bin", {});
    const std::filesystem::path missing = folder.path() / "missing.bin";
    const std::filesystem::path directory = folder.path() / "sub";
    std::filesystem::create_directory(directory);

    EXPECT_EQ(run(empty).outcome, Outcome::EmptyFile);
    EXPECT_EQ(texts.back(), "Write error  file size 0");
    EXPECT_EQ(run(missing).outcome, Outcome::FileOpenFailed);
    EXPECT_EQ(texts.back(), "Write error  file open");
    EXPECT_EQ(run(directory).outcome, Outcome::FileOpenFailed);
    EXPECT_EQ(texts.back(), "Write error  file open");

    EXPECT_TRUE(transport.written.empty());
    EXPECT_EQ(texts.size(), 3u);
    EXPECT_EQ(settleWaits, 0);
}

TEST_F(RomDownloadTest, FileThatShrinksWhileWrittenStillSendsEveryAnnouncedReport) {
    const auto bytes = testing::patternBytes(32768);
    const auto file = folder.write("h.bin", bytes);
    answerUnit(8 + 1, 0);
    // The file loses its tail after the first data report went out (past what the stream
    // has already buffered).
    onText = [&](const std::string& text) {
        if (text == "8byte") std::filesystem::resize_file(file, 20);
    };

    const DownloadResult result = run(file);

    EXPECT_EQ(result.outcome, Outcome::FileReadFailed);
    EXPECT_EQ(texts.back(), "Write error  file read");
    const auto sent = commands();
    // Erases, write start, all 4096 data reports and nothing after: no checksum is asked for.
    ASSERT_EQ(sent.size(), 8u + 1 + 4096);
    EXPECT_EQ(sent[8], (Command{1, 0, 0x00, 0x80, 0x0E, 0x00, 0x80, 0x00}));
    EXPECT_TRUE(std::equal(sent[9].begin(), sent[9].end(), bytes.begin()));
    EXPECT_EQ(sent.back(), (Command{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Download End"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "check sum start"), texts.end());
}

TEST_F(RomDownloadTest, VerifyReopensTheFileAndRefusesAChangedOne) {
    const auto bytes = testing::patternBytes(64);
    const auto file = folder.write("i.bin", bytes);

    answerUnit(2, addToSum(0, bytes));
    onText = [&](const std::string& text) {
        if (text == "Download End") std::filesystem::remove(file);
    };
    EXPECT_EQ(run(file).outcome, Outcome::FileOpenFailed);
    EXPECT_EQ(texts.back(), "Write error  file open");

    folder.write("i.bin", bytes);
    transport.pendingAnswers.clear();
    answerUnit(2, addToSum(0, bytes));
    onText = [&](const std::string& text) {
        if (text == "Download End") std::filesystem::resize_file(file, 72);
    };
    EXPECT_EQ(run(file).outcome, Outcome::FileChanged);
    EXPECT_EQ(texts.back(), "Write error  file changed");

    // Same length, other content: the sums differ.
    folder.write("i.bin", bytes);
    transport.pendingAnswers.clear();
    answerUnit(2, addToSum(0, bytes));
    onText = [&](const std::string& text) {
        if (text == "Download End") folder.write("i.bin", testing::patternBytes(64, 7));
    };
    EXPECT_EQ(run(file).outcome, Outcome::SumMismatch);
    EXPECT_TRUE(texts.back().starts_with("Write error  rom="));
}

}  // namespace
}  // namespace kavo3::download
