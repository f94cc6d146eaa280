// Every fault switch of the simulated unit does what it says, seen through the device link.
#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "SimRig.h"
#include "sim/UnitView.h"
#include "tests/support/OneReport.h"

namespace kavo3::sim {
namespace {

using testing::allZero;
using testing::SimRig;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

SimOptions with(std::string_view switches) {
    std::string error;
    const auto o = parseSimSwitches(switches, error);
    EXPECT_TRUE(o) << error;
    return o.value_or(SimOptions{});
}

TEST(SimFaults, NoAnswerTakesEveryReportAndAnswersNone) {
    SimRig rig(with("noanswer"));
    ASSERT_TRUE(rig.link.OpenDevice());  // still found
    EXPECT_TRUE(allZero(rig.exchange({2})));
    EXPECT_TRUE(allZero(rig.exchange({19, 27})));
    EXPECT_TRUE(allZero(rig.exchange({4, 0, 0, 0x80, 0x0E, 0x55, 0xAA, 0x55})));
    EXPECT_EQ(rig.unit().reportsIn(), 3);
    EXPECT_EQ(rig.transport.reportsRead(), 0);
    // The unit obeyed all the same.
    EXPECT_EQ(rig.unit().recordedKeys(), Bytes{27});
    EXPECT_EQ(rig.unit().flash()[0x0E8000], 0xFF);
}

TEST(SimFaults, ZerosAnswersEveryCommandWithZeroBytes) {
    SimRig rig(with("zeros"));
    EXPECT_TRUE(allZero(rig.exchange({2})));
    EXPECT_TRUE(allZero(rig.exchange({0x0F, 1})));
    EXPECT_TRUE(allZero(rig.exchange({20})));
    EXPECT_EQ(rig.transport.reportsRead(), 3);  // the reports did arrive
}

TEST(SimFaults, LateAnswersComeAfterTheWaitAndTheLinkDropsThem) {
    SimRig rig(with("late"));
    EXPECT_TRUE(allZero(rig.exchange({2})));
    EXPECT_EQ(rig.unit().answersWaiting(), 1u);  // arrived once the wait was over
    // The next command's answer must not be the stale one.
    EXPECT_TRUE(allZero(rig.exchange({0x0F, 1})));
    EXPECT_EQ(rig.unit().answersWaiting(), 1u);
    const Bytes stale = rig.read();
    EXPECT_EQ(stale[0], 0x20);  // the late answer to Timing access, readable until a write
    EXPECT_EQ(stale[1], 0x01);
}

TEST(SimFaults, NoAnswerAfterNAnswersThoseThenTakesReportsSilently) {
    SimRig rig(with("noanswer=2"));
    EXPECT_FALSE(allZero(rig.exchange({2})));
    EXPECT_FALSE(allZero(rig.exchange({0x0F, 1})));
    const auto start = Clock::now();
    EXPECT_TRUE(allZero(rig.exchange({19, 27})));
    EXPECT_GE(Clock::now() - start, testing::kShortWait);  // present and silent: a full wait
    EXPECT_TRUE(rig.link.DeviceFound());
    EXPECT_EQ(rig.unit().recordedKeys(), Bytes{27});
}

TEST(SimFaults, UnplugAfterNReportsAnswersThoseAndThenLeavesLikeAHidrawNode) {
    // The product's wait: a read that waited for the gone unit would show at once.
    SimRig rig(with("unplug=2,extra=1"), {.readWait = std::chrono::seconds(10)});
    SimTransport& transport = rig.transport;
    link::DeviceLink& link = rig.link;
    const auto exchange = [&](std::array<std::uint8_t, 8> command) {
        kavo3::testing::sendOne(link, command);
        const link::Reply reply = kavo3::testing::readOne(link);
        return Bytes(reply.bytes.begin(), reply.bytes.end());
    };
    EXPECT_FALSE(allZero(exchange({2})));
    EXPECT_FALSE(allZero(exchange({19, 5})));  // its answer was queued before it left
    EXPECT_TRUE(transport.unplugged());

    const auto start = Clock::now();
    EXPECT_TRUE(allZero(exchange({19, 6})));
    EXPECT_TRUE(allZero(exchange({19, 7})));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(link.DeviceFound());
    EXPECT_EQ(transport.openHandles(), 0);
    EXPECT_EQ(transport.unit().reportsIn(), 2);
    EXPECT_EQ(transport.unit().recordedKeys(), Bytes{5});

    const auto listed = transport.listInterfaces();
    ASSERT_EQ(listed.size(), 1u);  // only the other interface is left
    EXPECT_NE(listed.front().path, transport.unitPath());
    EXPECT_FALSE(link.OpenDevice());
}

TEST(SimFaults, ReplugBringsTheUnitBackAfterItsTimeAtAnotherPath) {
    SimRig rig(with("unplug=1,replug=30"));
    ASSERT_TRUE(rig.link.OpenDevice());
    const std::string firstPath = rig.link.DevicePath();
    EXPECT_FALSE(allZero(rig.exchange({2})));
    EXPECT_TRUE(allZero(rig.exchange({19, 1})));  // gone: sent nowhere
    EXPECT_FALSE(rig.link.DeviceFound());

    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_FALSE(allZero(rig.exchange({2})));
    EXPECT_TRUE(rig.link.DeviceFound());
    EXPECT_NE(rig.link.DevicePath(), firstPath);
    EXPECT_EQ(rig.unit().reportsIn(), 2);
    // It left once; it stays now.
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(allZero(rig.exchange({2})));
}

TEST(SimFaults, AUnitThatKeepsItsStateTakesReportsAfterAReplugAsDataOneThatRestartsDoesNot) {
    for (const bool restarts : {false, true}) {
        SCOPED_TRACE(restarts ? "restart" : "keeps its state");
        SimRig rig(with(restarts ? "restart" : ""));
        rig.exchange({4, 0, 0x00, 0x80, 0x0E, 0x55, 0xAA, 0x55});
        rig.send({1, 0, 0x00, 0x80, 0x0E, 24, 0, 0});  // three data reports follow
        rig.sendData({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0});
        rig.transport.unplug();
        rig.transport.plugBackIn();
        ASSERT_TRUE(rig.link.OpenDevice());
        EXPECT_EQ(rig.unit().flashWriteRunning(), !restarts);

        // The connection check: a command for the restarted unit, data for the other.
        EXPECT_EQ(allZero(rig.exchange({2})), !restarts);
        EXPECT_EQ(rig.unit().flash()[0x0E8008], restarts ? 0xFF : 2);
        EXPECT_EQ(rig.unit().flashWriteRunning(), !restarts);
        if (!restarts)
            kavo3::testing::sendOne(rig.link, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                 link::Meant::Probe);
        EXPECT_FALSE(rig.unit().flashWriteRunning());
        EXPECT_FALSE(allZero(rig.exchange({2})));
        // The unit's own view saw the connection check arrive as data, where it kept its state.
        EXPECT_EQ(takeViolations().size(), restarts ? 0u : 1u);
    }
}

TEST(SimFaults, AHandleOfAnEarlierPluggingInStaysGone) {
    SimTransport t;
    link::OpenError error = link::OpenError::None;
    const auto old = t.open(t.unitPath(), error);
    t.unplug();
    t.plugBackIn();
    Bytes report(65, 0), in(65, 0);
    report[1] = 2;
    EXPECT_EQ(old->write(report), link::WriteStatus::Gone);
    EXPECT_EQ(old->read(in, std::chrono::seconds(10)), link::ReadStatus::Gone);
    EXPECT_FALSE(old->failureText().empty());
    const auto fresh = t.open(t.unitPath(), error);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->write(report), link::WriteStatus::Taken);
    EXPECT_EQ(fresh->read(in, std::chrono::seconds(10)), link::ReadStatus::Report);
}

TEST(SimFaults, RefusalsInARowAndAStallThatOnlyAReplugClears) {
    Bytes report(65, 0);
    report[1] = 2;
    // T taken, R refused, S stalled, for each of `writes` reports.
    auto statuses = [&](SimTransport& t, int writes) {
        link::OpenError error = link::OpenError::None;
        const auto handle = t.open(t.unitPath(), error);
        std::string out;
        for (int i = 0; i < writes; ++i) {
            const auto s = handle->write(report);
            out += s == link::WriteStatus::Taken     ? 'T'
                   : s == link::WriteStatus::Refused ? 'R'
                                                     : 'S';
        }
        return out;
    };
    SimTransport refusing(with("refuse=2,refusals=4"));
    EXPECT_EQ(statuses(refusing, 7), "TRRRRTT");
    SimTransport stalling(with("stall=3"));
    EXPECT_EQ(statuses(stalling, 5), "TTSSS");
    stalling.unplug();
    stalling.plugBackIn();
    EXPECT_EQ(statuses(stalling, 2), "TT");
    std::string error;
    for (const char* bad : {"refusals=0", "stall", "stall=0"})
        EXPECT_FALSE(parseSimSwitches(bad, error).has_value()) << bad;
}

TEST(SimFaults, EndFaultsLeavesAUnitThatTakesAndAnswersEveryReport) {
    SimRig rig(with("unplug=2,refuse=1,refusals=99,stall=5,noanswer"));
    rig.transport.endFaults();
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(allZero(rig.exchange({2, 0, 0, 0, 0, 0, 0, 0}))) << i;
    EXPECT_FALSE(rig.transport.unplugged());
}

TEST(SimFaults, UnplugAfterZeroMeansNeverThere) {
    SimRig rig(with("unplug=0"));
    EXPECT_FALSE(rig.link.OpenDevice());
    EXPECT_TRUE(rig.transport.listInterfaces().empty());
}

TEST(SimFaults, CorruptFlashStoresSomethingElseThanWasWritten) {
    SimRig rig(with("corrupt"));
    const std::uint32_t base = 0x0E8000, n = 0x2000;
    for (std::uint32_t a = base; a < base + n; a += 0x1000)
        rig.exchange({4, 0, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a >> 8),
                      static_cast<std::uint8_t>(a >> 16), 0x55, 0xAA, 0x55});
    Bytes data(n);
    for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i * 13 + 1);
    rig.send({1, 0, 0x00, 0x80, 0x0E, 0x00, 0x20, 0x00});
    for (std::size_t i = 0; i < n; i += 8) {
        std::array<std::uint8_t, 8> chunk;
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(i), 8, chunk.begin());
        rig.sendData(chunk);
    }
    rig.read();

    const auto& flash = rig.unit().flash();
    int differing = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t stored = flash[base + i];
        if (stored != data[i]) ++differing;
        EXPECT_EQ(stored & ~data[i], 0) << i;  // bits were only lost, never gained
    }
    EXPECT_GE(differing, 1);
    EXPECT_LE(differing, 4);

    rig.send({6, 0, 0x00, 0x80, 0x0E, 0x00, 0x20, 0x00});
    const Bytes status = rig.exchange({0});
    ASSERT_EQ(status[0], 1);
    const auto fileSum = static_cast<std::uint16_t>(std::accumulate(data.begin(), data.end(), 0u));
    EXPECT_NE(status[1] | status[2] << 8, fileSum);
}

TEST(SimFaults, PollsNeverLeavesTheChecksumNotReady) {
    SimRig rig(with("polls=never"));
    rig.send({6, 0, 0, 0, 0, 8, 0, 0});
    for (int i = 0; i < 50; ++i) EXPECT_EQ(rig.exchange({0})[0], 0);
}

TEST(SimFaults, ReportDelayMakesEveryReportEachWayCostLinkTime) {
    SimRig rig(with("delay=2000"));
    ASSERT_TRUE(rig.link.OpenDevice());
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(allZero(rig.exchange({2})));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(5 * 2 * 2));
}

TEST(SimFaults, FaultsAndDelayChangeWhileTheUnitRuns) {
    SimRig rig;
    EXPECT_FALSE(allZero(rig.exchange({2})));
    rig.unit().changeFaults(with("zeros"));
    EXPECT_TRUE(allZero(rig.exchange({2})));
    rig.unit().changeFaults(with("noanswer,size=64x64,base=0x90"));
    EXPECT_TRUE(allZero(rig.exchange({2})));
    EXPECT_EQ(rig.transport.reportsRead(), 2);  // the zero answer came, the last did not
    rig.unit().changeFaults({});
    EXPECT_FALSE(allZero(rig.exchange({2})));
    EXPECT_EQ(rig.exchange({0x0F, 1})[0], 0x20);  // the base stays as the unit was made

    rig.transport.setReportDelay(std::chrono::microseconds(2000));
    const auto start = Clock::now();
    rig.exchange({2});
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(4));
}

TEST(SimFaults, UsbSwitchIsAFullSpeedLink) {
    EXPECT_EQ(with("usb").reportDelay, std::chrono::microseconds(1000));
}

TEST(SimFaults, AnotherFpgaSelectAndNoInputShowInFrameInformation) {
    SimRig rig(with("fpga=3,noinput"));
    const Bytes info = rig.exchange({20});
    EXPECT_EQ(info[4], 3);
    EXPECT_EQ(info[5], 0);
    EXPECT_EQ(info[0] | info[1] << 8, 713);  // the size stays
}

}  // namespace
}  // namespace kavo3::sim
