// The simulated unit against the command set, driven through the real device link.
#include <gtest/gtest.h>

#include <numeric>

#include "SimRig.h"

namespace kavo3::sim {
namespace {

using testing::allZero;
using testing::SimRig;
using Bytes = std::vector<std::uint8_t>;

std::uint8_t b(std::uint32_t v, int byte) { return static_cast<std::uint8_t>(v >> (8 * byte)); }

// --- discovery -------------------------------------------------------------------------

TEST(SimDiscovery, OrdinarySearchFindsTheUnitBehindOtherInterfaces) {
    SimOptions o;
    o.extraInterfaces = 3;
    SimRig rig(o);
    const auto listed = rig.transport.listInterfaces();
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed.back().path, rig.transport.unitPath());
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(),
                               [](auto& a, auto& c) { return a.path < c.path; }));

    ASSERT_TRUE(rig.link.OpenDevice());
    EXPECT_EQ(rig.link.DevicePath(), rig.transport.unitPath());
    EXPECT_EQ(rig.link.caps().InputReportByteLength, 65);
    EXPECT_EQ(rig.link.caps().OutputReportByteLength, 65);
    EXPECT_EQ(rig.transport.openHandles(), 2);  // nothing of the others left open
}

TEST(SimDiscovery, OtherInterfacesOpenAndTellTheirOwnIdentity) {
    SimOptions o;
    o.extraInterfaces = 1;
    SimTransport t(o);
    link::OpenError error = link::OpenError::None;
    auto mouse = t.open(t.listInterfaces().front().path, error);
    ASSERT_TRUE(mouse);
    EXPECT_EQ(mouse->attributes()->VendorID, 0x046D);
    EXPECT_EQ(mouse->attributes()->ProductID, 0xC077);
    EXPECT_FALSE(t.open("sim/nothing", error));
    EXPECT_EQ(error, link::OpenError::Failed);
}

TEST(SimDiscovery, IdentityComesFromTheOptions) {
    SimOptions o;
    o.vendorId = 0x04D8;
    o.productId = 0x0000;
    SimRig other(o);
    EXPECT_TRUE(other.link.OpenDevice());

    o.productId = 0x0001;  // not in the match table
    SimRig stranger(o);
    EXPECT_FALSE(stranger.link.OpenDevice());
    EXPECT_EQ(stranger.transport.openHandles(), 0);
}

TEST(SimDiscovery, EveryHandleReachesTheSameUnitAndOnlyWholeReportsAreTaken) {
    SimTransport t;
    link::OpenError error = link::OpenError::None;
    auto writer = t.open(t.unitPath(), error);
    auto reader = t.open(t.unitPath(), error);
    std::vector<std::uint8_t> report(65, 0);
    report[1] = 2;
    // not the declared length
    EXPECT_EQ(writer->write(std::span(report).first(9)), link::WriteStatus::Refused);
    EXPECT_EQ(t.unit().reportsIn(), 0);
    EXPECT_EQ(writer->write(report), link::WriteStatus::Taken);
    std::vector<std::uint8_t> in(65, 0xEE);
    EXPECT_EQ(reader->read(in, std::chrono::milliseconds(0)), link::ReadStatus::Report);
    EXPECT_EQ(in[0], 0);  // report ID
    EXPECT_FALSE(allZero(Bytes(in.begin() + 1, in.begin() + 9)));
}

TEST(SimDiscovery, HandlesOutliveTheTransport) {
    std::unique_ptr<link::HidHandle> handle;
    {
        SimTransport t;
        link::OpenError error = link::OpenError::None;
        handle = t.open(t.unitPath(), error);
    }
    std::vector<std::uint8_t> report(65, 0);
    report[1] = 2;
    EXPECT_EQ(handle->write(report), link::WriteStatus::Taken);
}

// --- connection check ------------------------------------------------------------------

TEST(SimConnection, CheckIsAnsweredWithNonZeroBytes) {
    SimRig rig;
    ASSERT_TRUE(rig.link.OpenDevice());
    const Bytes answer = rig.exchange({2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(allZero(Bytes(answer.begin(), answer.begin() + 8)));
    EXPECT_EQ(rig.unit().reportsIn(), 1);
    EXPECT_EQ(rig.transport.reportsRead(), 1);
}

TEST(SimConnection, UnknownCodesAreIgnoredWithoutAnswer) {
    SimRig rig;
    EXPECT_TRUE(allZero(rig.exchange({0x33, 1, 2, 3, 4, 5, 6, 7})));
    EXPECT_EQ(rig.unit().unknownCommands(), 1);
}

// --- flash ROM -------------------------------------------------------------------------

class SimFlash : public ::testing::Test {
  protected:
    Bytes erase(std::uint8_t code, std::uint32_t a,
                std::array<std::uint8_t, 3> closing = {0x55, 0xAA, 0x55}) {
        return rig.exchange(
            {code, 0, b(a, 0), b(a, 1), b(a, 2), closing[0], closing[1], closing[2]});
    }
    void write(std::uint32_t a, const Bytes& data) {
        const auto n = static_cast<std::uint32_t>(data.size());
        rig.send({1, 0, b(a, 0), b(a, 1), b(a, 2), b(n, 0), b(n, 1), b(n, 2)});
        for (std::size_t i = 0; i < data.size(); i += 8) {
            std::array<std::uint8_t, 8> chunk{};
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(i), 8, chunk.begin());
            rig.sendData(chunk);
        }
        rig.read();
    }
    // Checksum request, then status polls until ready; the number of polls in `polls`.
    std::uint16_t checksum(std::uint32_t a, std::uint32_t m, int* polls = nullptr,
                           int limit = 100) {
        rig.send({6, 0, b(a, 0), b(a, 1), b(a, 2), b(m, 0), b(m, 1), b(m, 2)});
        for (int i = 1; i <= limit; ++i) {
            const Bytes status = rig.exchange({0, 0, 0, 0, 0, 0, 0, 0});
            if (status[0] == 1) {
                if (polls) *polls = i;
                return static_cast<std::uint16_t>(status[1] | status[2] << 8);
            }
        }
        if (polls) *polls = -1;
        return 0;
    }
    static std::uint16_t hostSum(const Bytes& data) {
        return static_cast<std::uint16_t>(std::accumulate(data.begin(), data.end(), 0u));
    }
    static Bytes pattern(std::size_t n, unsigned seed) {
        Bytes out(n);
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i * 31 + seed);
        return out;
    }

    SimRig rig;
    const std::vector<std::uint8_t>& flash = rig.unit().flash();
};

TEST_F(SimFlash, IsTwoMebibytesOfUsedContents) {
    EXPECT_EQ(flash.size(), 2u * 1024 * 1024);
    EXPECT_NE(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size()));
}

TEST_F(SimFlash, ErasesSetTheAlignedBlockToFFAndNothingAround) {
    const Bytes before = flash;
    EXPECT_FALSE(allZero(erase(4, 0x0E8123)));
    for (std::uint32_t i = 0x0E8000; i < 0x0E9000; ++i) ASSERT_EQ(flash[i], 0xFF) << i;
    EXPECT_EQ(flash[0x0E7FFF], before[0x0E7FFF]);
    EXPECT_EQ(flash[0x0E9000], before[0x0E9000]);

    EXPECT_FALSE(allZero(erase(5, 0x0F7FFF)));  // 32 KB block 0x0F0000..0x0F7FFF
    for (std::uint32_t i = 0x0F0000; i < 0x0F8000; ++i) ASSERT_EQ(flash[i], 0xFF) << i;
    EXPECT_EQ(flash[0x0EFFFF], before[0x0EFFFF]);
    EXPECT_EQ(flash[0x0F8000], before[0x0F8000]);
}

TEST_F(SimFlash, ErasesWithoutTheClosingBytesChangeNothingButAreAnswered) {
    const Bytes before = flash;
    EXPECT_FALSE(allZero(erase(4, 0x0E8000, {0x55, 0xAA, 0x54})));
    EXPECT_FALSE(allZero(erase(5, 0x0E8000, {0, 0, 0})));
    EXPECT_FALSE(allZero(erase(5, 0x0E8000, {0x55, 0x55, 0x55})));
    EXPECT_EQ(flash, before);
}

TEST_F(SimFlash, WriteStartTakesRawDataReportsAndAnswersOnceAfterTheLast) {
    erase(4, 0x0E8000);
    // Data that looks like commands must be stored, not obeyed.
    const Bytes data{2, 0, 0, 0, 0, 0, 0, 0,    0x14, 1,    2,    3,
                     4, 5, 6, 7, 4, 0, 0, 0x80, 0x0E, 0x55, 0xAA, 0x55};
    rig.send({1, 0, 0x00, 0x80, 0x0E, 24, 0, 0});
    EXPECT_EQ(rig.unit().answersWaiting(), 0u);
    for (std::size_t i = 0; i < data.size(); i += 8) {
        EXPECT_TRUE(rig.unit().flashWriteRunning());
        EXPECT_EQ(rig.unit().answersWaiting(), 0u);
        rig.sendData({data[i], data[i + 1], data[i + 2], data[i + 3], data[i + 4], data[i + 5],
                      data[i + 6], data[i + 7]});
    }
    EXPECT_FALSE(rig.unit().flashWriteRunning());
    EXPECT_EQ(rig.unit().answersWaiting(), 1u);
    const Bytes done = rig.read();
    EXPECT_FALSE(allZero(done));
    EXPECT_NE(done[0], 1);  // cannot pass for a ready checksum
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 0x0E8000));
    EXPECT_EQ(flash[0x0E8000 + 24], 0xFF);
    EXPECT_EQ(rig.unit().unknownCommands(), 0);
}

TEST_F(SimFlash, ChecksumRequestIsNotAnsweredAndThePollGivesTheSumOfStoredBytes) {
    rig.send({6, 0, 0x00, 0x80, 0x0E, 0x40, 0x9C, 0x00});
    EXPECT_EQ(rig.unit().answersWaiting(), 0u);
    EXPECT_TRUE(allZero(rig.read()));

    // Over old contents, a block just erased and data written: always what is stored.
    erase(4, 0x0E8000);
    write(0x0E8000, pattern(4000, 7));
    const std::uint32_t length = 40000;
    const std::uint16_t expected = static_cast<std::uint16_t>(
        std::accumulate(flash.begin() + 0x0E8000, flash.begin() + 0x0E8000 + length, 0u));
    EXPECT_EQ(checksum(0x0E8000, length), expected);
}

TEST_F(SimFlash, ChecksumDropsTheCarryOutOfSixteenBits) {
    for (std::uint32_t a = 0; a < 0x100000; a += 0x8000) erase(5, a);
    EXPECT_EQ(checksum(0, 0x100000), 0);    // 0xFF * 0x100000 = 0xFF00000
    EXPECT_EQ(checksum(0, 0x101), 0xFFFF);  // 0xFF * 0x101 = 0xFFFF
    EXPECT_EQ(checksum(0, 0x102), 0x00FE);
}

TEST_F(SimFlash, WritingWithoutErasingOnlyClearsBitsAndTheChecksumShowsIt) {
    const Bytes first = pattern(64, 3), second = pattern(64, 200);
    erase(4, 0x0E8000);
    write(0x0E8000, first);
    EXPECT_EQ(checksum(0x0E8000, 64), hostSum(first));

    write(0x0E8000, second);  // no erase in between
    for (std::size_t i = 0; i < 64; ++i) ASSERT_EQ(flash[0x0E8000 + i], first[i] & second[i]) << i;
    EXPECT_NE(checksum(0x0E8000, 64), hostSum(second));

    erase(4, 0x0E8000);
    write(0x0E8000, second);
    EXPECT_EQ(checksum(0x0E8000, 64), hostSum(second));
}

TEST_F(SimFlash, StatusPollBeforeAnyChecksumRequestIsNotReady) {
    const Bytes status = rig.exchange({0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(status[0], 0);
}

TEST(SimFlashPolls, ChecksumIsReadyAfterTheGivenNumberOfPolls) {
    SimOptions o;
    o.checksumPolls = 3;
    SimRig rig(o);
    rig.send({6, 0, 0, 0, 0, 8, 0, 0});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rig.exchange({0, 0, 0, 0, 0, 0, 0, 0})[0], 0) << i;
    EXPECT_EQ(rig.exchange({0, 0, 0, 0, 0, 0, 0, 0})[0], 1);
    // A new request starts the count again.
    rig.send({6, 0, 0, 0, 0, 8, 0, 0});
    EXPECT_EQ(rig.exchange({0, 0, 0, 0, 0, 0, 0, 0})[0], 0);
}

// --- timing registers ------------------------------------------------------------------

TEST(SimTiming, AccessBeginAnswersTheBlockAddressAndEndIsAnswered) {
    SimRig rig;
    const Bytes begin = rig.exchange({0x0F, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(begin[0], 0x20);
    EXPECT_EQ(begin[1], 0x01);
    EXPECT_TRUE(rig.unit().timingAccessOpen());
    EXPECT_FALSE(allZero(rig.exchange({0x0F, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(rig.unit().timingAccessOpen());

    SimOptions o;
    o.timingBaseLow = 0x40;
    o.timingBaseHigh = 0x02;
    SimRig moved(o);
    const Bytes other = moved.exchange({0x0F, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(other[0], 0x40);
    EXPECT_EQ(other[1], 0x02);
}

TEST(SimTiming, TenBlockReadsGiveThePlausibleBlockOfA720x480Input) {
    SimRig rig;
    std::array<std::uint8_t, 80> image{};
    for (int i = 0; i < 80; i += 8) {
        const Bytes r =
            rig.exchange({0x10, 0, static_cast<std::uint8_t>(0x20 + i), 0x01, 0, 0, 0, 0});
        std::copy_n(r.begin(), 8, image.begin() + i);
    }
    EXPECT_EQ(image, rig.unit().timingBlock());

    const auto value16 = [&](int k) { return image[k] | image[k + 2] << 8; };
    EXPECT_EQ(value16(10), 720);  // h2size
    EXPECT_EQ(value16(14), 480);  // v2size
    EXPECT_EQ(value16(58), 720);  // ph1size
    EXPECT_EQ(value16(66), 480);  // pv1size
    for (int k : {2, 6, 10, 14, 40, 44, 54, 58, 62, 66}) {
        EXPECT_LE(image[k + 2], 15) << k;
        EXPECT_GT(value16(k), 0) << k;
    }
    for (int k : {18, 20, 48, 50}) EXPECT_GT(image[k], 0) << k;
    // Bytes of no parameter carry something, so a host that loses them shows.
    for (int k = 1; k < 80; k += 2) EXPECT_NE(image[k], 0) << k;
    for (int k : {0, 22, 30, 39, 52, 53, 70, 79}) EXPECT_NE(image[k], 0) << k;
}

TEST(SimTiming, ReadsOutsideTheBlockGiveZeros) {
    SimRig rig;
    EXPECT_TRUE(allZero(rig.exchange({0x10, 0, 0x20 + 80, 0x01, 0, 0, 0, 0})));
    EXPECT_TRUE(allZero(rig.exchange({0x10, 0, 0x20, 0x02, 0, 0, 0, 0})));
    const Bytes straddling = rig.exchange({0x10, 0, 0x20 + 76, 0x01, 0, 0, 0, 0});
    EXPECT_NE(straddling[0], 0);
    EXPECT_EQ(straddling[4], 0);
}

TEST(SimTiming, BlockWriteStoresFourBytesAndWriteEndMakesThemActive) {
    SimRig rig;
    const auto before = rig.unit().timingBlock();
    // A host writes only what it read since its Timing access start.
    rig.exchange({0x0F, 1});
    rig.exchange({0x10, 0, 0x20 + 16, 0x01, 0, 0, 0, 0});
    rig.exchange({0x11, 0, 0x20 + 20, 0x01, 11, 0xA1, 0xA2, 0xA3});
    EXPECT_EQ(rig.unit().timingRegister(0x0120 + 20), 11);
    EXPECT_EQ(rig.unit().timingBlock()[23], 0xA3);
    EXPECT_EQ(rig.unit().timingBlock()[24], before[24]);
    EXPECT_EQ(rig.unit().timingBlock()[19], before[19]);
    EXPECT_EQ(rig.unit().activeTimingBlock(), before);

    const Bytes r = rig.exchange({0x10, 0, 0x20 + 16, 0x01, 0, 0, 0, 0});
    EXPECT_EQ(r[4], 11);

    EXPECT_FALSE(allZero(rig.exchange({0x12, 0, 0x20 + 20, 0x01, 11, 0xA1, 0xA2, 0xA3})));
    EXPECT_EQ(rig.unit().activeTimingBlock(), rig.unit().timingBlock());
    EXPECT_EQ(rig.unit().timingCommits(), 1);
}

// --- remote keys -----------------------------------------------------------------------

TEST(SimRemote, KeysAreRecordedInOrderAndAnswered) {
    SimRig rig;
    for (std::uint8_t key : {1, 76, 76, 84}) EXPECT_FALSE(allZero(rig.exchange({19, key})));
    EXPECT_EQ(rig.unit().recordedKeys(), (std::vector<std::uint8_t>{1, 76, 76, 84}));
    EXPECT_FALSE(rig.unit().frozen());  // the remote's freeze key is not the Freeze command
}

TEST(SimRemote, InputSelectionKeysSwitchBetweenPictures) {
    SimRig rig;
    const std::array<std::uint8_t, 8> keys{27, 2, 30, 22, 28, 29, 79, 80};
    std::vector<std::vector<std::uint8_t>> lines;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        rig.exchange({19, keys[i]});
        EXPECT_EQ(rig.unit().selectedInput(), static_cast<int>(i));
        lines.push_back(rig.unit().expectedLine(300));
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = i + 1; j < lines.size(); ++j) EXPECT_NE(lines[i], lines[j]) << i << j;
}

// --- frame information, line data, freeze ----------------------------------------------

TEST(SimFrame, FrameInformationCarriesSizeSelectAndInputFlag) {
    SimRig rig;
    const Bytes info = rig.exchange({20});
    EXPECT_EQ(info[0] | info[1] << 8, 713);
    EXPECT_EQ(info[2] | info[3] << 8, 470);
    EXPECT_EQ(info[4], 2);
    EXPECT_NE(info[5], 0);

    std::string error;
    SimRig big(*parseSimSwitches("size=1920x1080,fpga=1,noinput", error));
    const Bytes other = big.exchange({20});
    EXPECT_EQ(other[0] | other[1] << 8, 1913);
    EXPECT_EQ(other[2] | other[3] << 8, 1070);
    EXPECT_EQ(other[4], 1);
    EXPECT_EQ(other[5], 0);
}

TEST(SimFrame, RawValuesOverrideTheSizeSixteenBitsOnTheWire) {
    SimOptions o;
    o.horizontalValue = -1;
    o.verticalValue = 0x12345;
    SimRig raw(o);
    const Bytes info = raw.exchange({20});
    EXPECT_EQ(info[0], 0xFF);
    EXPECT_EQ(info[1], 0xFF);
    EXPECT_EQ(info[2], 0x45);
    EXPECT_EQ(info[3], 0x23);
}

TEST(SimFrame, TheKthLineDataRequestAfterFrameInformationCarriesLineK) {
    SimRig rig;
    rig.exchange({22, 1});
    rig.exchange({20});
    for (int k = 0; k < 6; ++k) {
        rig.send({21, 36});
        Bytes line;
        for (int r = 0; r < 36; ++r) {
            const Bytes report = rig.read();
            line.insert(line.end(), report.begin(), report.end());
        }
        EXPECT_EQ(line, rig.unit().expectedLine(k, 768)) << k;
        EXPECT_EQ(rig.unit().answersWaiting(), 0u);
    }
    // Red, green, blue of pixel x at bytes 3x..3x+2.
    rig.exchange({20});
    rig.send({21, 36});
    const Bytes first = rig.read();
    EXPECT_EQ(first[0], 255);  // the red first column
    EXPECT_EQ(first[1], 0);
    EXPECT_EQ(first[2], 0);
    EXPECT_EQ((Rgb{first[3], first[4], first[5]}), rig.unit().pixelRGB(1, 0));
}

TEST(SimFrame, BytesBeyondTheActiveWidthAreNotZero) {
    SimOptions o;
    o.width = 718;
    SimRig rig(o);
    rig.exchange({20});
    rig.send({21, 36});
    Bytes line;
    for (int r = 0; r < 36; ++r) {
        const Bytes report = rig.read();
        line.insert(line.end(), report.begin(), report.end());
    }
    EXPECT_EQ(Bytes(line.begin() + 717 * 3, line.begin() + 718 * 3), (Bytes{0, 0, 255}));
    for (std::size_t x = 718; x < 768; ++x)
        EXPECT_FALSE(allZero(Bytes(line.begin() + x * 3, line.begin() + x * 3 + 3))) << x;
}

TEST(SimFrame, LiveThePictureMovesFromFrameToFrameFrozenItStays) {
    SimRig rig;
    const auto live0 = rig.unit().expectedLine(100);
    rig.exchange({20});
    const auto live1 = rig.unit().expectedLine(100);
    EXPECT_NE(live0, live1);

    EXPECT_FALSE(allZero(rig.exchange({22, 1})));
    EXPECT_TRUE(rig.unit().frozen());
    const auto frozen = rig.unit().expectedLine(100);
    EXPECT_NE(frozen, live1);  // freezing holds the newest frame
    rig.exchange({20});
    rig.exchange({20});
    rig.exchange({22, 1});
    EXPECT_EQ(rig.unit().expectedLine(100), frozen);

    rig.exchange({22, 0});
    EXPECT_FALSE(rig.unit().frozen());
    rig.exchange({20});
    EXPECT_NE(rig.unit().expectedLine(100), frozen);
}

TEST(SimFrame, TwoCapturesWhileLiveShowDifferentFrames) {
    // The capture window freezes before and releases after: the frames still differ.
    SimRig rig;
    rig.exchange({22, 1});
    const auto first = rig.unit().expectedLine(300);
    rig.exchange({22, 0});
    rig.exchange({22, 1});
    EXPECT_NE(rig.unit().expectedLine(300), first);
}

TEST(SimFrame, NoInputSendsABlackPicture) {
    SimOptions o;
    o.input = false;
    SimRig rig(o);
    rig.exchange({20});
    rig.send({21, 36});
    EXPECT_TRUE(allZero(rig.read()));
}

}  // namespace
}  // namespace kavo3::sim
