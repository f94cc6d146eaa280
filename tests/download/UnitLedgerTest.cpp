// The unit's ledger against simulated units: whatever ends a sequence, the unit it was in the
// middle of is settled, by this program or the next one, and no other unit pays for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "TestFiles.h"
#include "capture/CaptureSequence.h"
#include "download/DownloadSequence.h"
#include "link/Conversation.h"
#include "link/DeviceLink.h"
#include "link/UnitLedger.h"
#include "sim/SimBench.h"
#include "sim/SimTransport.h"
#include "timing/TimingSequence.h"
#include "tests/support/OneReport.h"

namespace kavo3::download {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kStart = 0x0E8000;

DownloadCallbacks quietCallbacks(const std::function<bool()>& stop = {}) {
    DownloadCallbacks callbacks;
    callbacks.status = [](const std::string&) {};
    callbacks.progress = [](std::uint32_t) {};
    callbacks.processEvents = [] {};
    callbacks.settleWait = [](int) {};
    callbacks.stopRequested = stop;
    return callbacks;
}

// Idle: takes commands, not frozen, no timing access open.
void expectIdle(const sim::SimulatedUnit& unit, const std::string& which) {
    EXPECT_FALSE(unit.flashWriteRunning()) << which;
    EXPECT_FALSE(unit.frozen()) << which;
    EXPECT_FALSE(unit.timingAccessOpen()) << which;
    EXPECT_EQ(unit.view().violationCount(), 0) << which;
}

TEST(UnitLedger, ADebtIsPaidByItsOwnUnitAloneWhenItIsBack) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(4096);
    sim::SimOptions options;
    options.units = 2;
    sim::SimBench bench(options);
    link::UnitLedger ledger({});
    link::DeviceLink link(bench, 20ms, nullptr, &ledger);

    // Unit 1 leaves in the middle of its data.
    link::Conversation talk(link);
    const std::string first = talk.unit();
    const long before = bench.unit(0).reportsWritten();
    bool unplugged = false;
    DownloadSequence run(link, quietCallbacks([&] {
                        if (!unplugged && bench.unit(0).reportsWritten() - before == 100) {
                            bench.unit(0).unplug();
                            unplugged = true;
                        }
                        return false;
                    }));
    EXPECT_EQ(run.run(talk, kStart, bytes).outcome, Outcome::UnitGone);
    ASSERT_TRUE(bench.unit(0).unit().flashWriteRunning());
    const std::uint32_t owed = ledger.debt(first).dataOwed();
    EXPECT_GT(owed, 0u);

    // The next key press finds unit 2, which owes nothing and gets nothing but the key.
    const long secondBefore = bench.unit(1).reportsWritten();
    kavo3::testing::sendOne(link, {0x13, 7, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(bench.unit(1).reportsWritten() - secondBefore, 1);
    EXPECT_EQ(bench.unit(1).unit().recordedKeys(), std::vector<std::uint8_t>{7});
    EXPECT_EQ(ledger.debt(first).dataOwed(), owed);

    // Unit 1 back at its port, still counting data; unit 2 gone: the search that finds unit 1
    // pays the rest before its key, which then is a key and not flash data.
    bench.unit(0).plugBackIn(true);
    bench.unit(1).unplug();
    // The key's sequence finds unit 2 gone before anything of it went out, and begins afresh
    // with unit 1.
    EXPECT_TRUE(kavo3::testing::sendOne(link, {0x13, 9, 0, 0, 0, 0, 0, 0}));
    expectIdle(bench.unit(0).unit(), "unit 1");
    EXPECT_EQ(bench.unit(0).unit().recordedKeys(), std::vector<std::uint8_t>{9});
    EXPECT_FALSE(ledger.owes(first));
}

TEST(UnitLedger, AUnitThatKeepsRefusingIsLetGoAndSettledWhenFoundAgain) {
    const auto bytes = testing::patternBytes(4096);
    sim::SimOptions options;
    // The connection check, one erase, the write start and 20 data reports go; then the system
    // takes nothing four times in a row.
    options.refuseWrite = 24;
    options.refusals = 4;
    sim::SimTransport unit(options);
    link::UnitLedger ledger({});
    link::DeviceLink link(unit, 20ms, nullptr, &ledger);
    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    kavo3::testing::readOne(link);

    link::Conversation talk(link);
    const std::string key = talk.unit();
    const DownloadResult result = DownloadSequence(link, quietCallbacks()).run(talk, kStart, bytes);
    EXPECT_EQ(result.outcome, Outcome::WriteRefused);
    EXPECT_TRUE(ledger.owes(key));
    EXPECT_FALSE(link.DeviceFound());  // let go, so that the next write searches

    kavo3::testing::sendOne(link, {0x13, 3, 0, 0, 0, 0, 0, 0});
    expectIdle(unit.unit(), "the refusing unit");
    EXPECT_EQ(unit.unit().recordedKeys(), std::vector<std::uint8_t>{3});
    EXPECT_FALSE(ledger.owes(key));
}

TEST(UnitLedger, AChecksumRequestNotTakenGivesNoVerdictFromAnEarlierSum) {
    const auto bytes = testing::patternBytes(4096);
    const auto other = testing::patternBytes(4096, 99);
    // Report numbers of one run of 4 KiB: the erase, the write start, 512 data reports, the
    // checksum request, one poll.
    constexpr int kRun = 1 + 1 + 512 + 1 + 1;
    sim::SimOptions options;
    options.refuseWrite = kRun + 1 + 1 + 512 + 1;  // the second run's checksum request
    sim::SimTransport unit(options);
    link::UnitLedger ledger({});
    link::DeviceLink link(unit, 20ms, nullptr, &ledger);
    link::Conversation talk(link);
    DownloadSequence run(link, quietCallbacks());
    ASSERT_EQ(run.run(talk, kStart, bytes).outcome, Outcome::WriteOk);

    const DownloadResult second = run.run(talk, kStart, other);
    EXPECT_EQ(second.outcome, Outcome::ChecksumNotTaken);
    expectIdle(unit.unit(), "unit");
}

struct LeftCase {
    const char* name;
    bool restarted;  // the unit was switched off and on meanwhile
};

TEST(UnitLedger, ADownloadLeftByAProgramThatDiedIsSettledByTheNextOneFirst) {
    for (const LeftCase c : {LeftCase{"kept its state", false}, LeftCase{"restarted", true}}) {
        SCOPED_TRACE(c.name);
        testing::TempFolder folder;
        const auto bytes = testing::patternBytes(8192);
        const std::string keep = (folder.path() / "unit").string();
        sim::SimOptions options;
        options.keepFile = keep;
        std::string key;
        {
            // The first program dies after the write start and 300 data reports: it wrote its
            // state file, and nothing settles the unit.
            sim::SimTransport unit(options);
            link::UnitLedger ledger(folder.path() / "state");
            link::DeviceLink link(unit, 20ms, nullptr, &ledger);
            ASSERT_TRUE(link.OpenDevice());
            key = link.unitKey();
            ledger.dataAnnounced(key, 1024, link.unitsOutliveProgram());
            kavo3::testing::sendOne(link, {1, 0, 0x00, 0x80, 0x0E, 0x00, 0x20, 0x00});
            for (int r = 0; r < 300; ++r) kavo3::testing::sendOne(link, {0, 1, 2, 3, 4, 5, 6, 7}, link::Meant::Data);
        }
        if (c.restarted) std::ofstream(keep, std::ios::trunc) << "dataleft=0\n";

        link::UnitLedger ledger(folder.path() / "state");
        ASSERT_TRUE(ledger.leftInStateFile(key).has_value());
        EXPECT_EQ(ledger.leftInStateFile(key)->dataAnnounced, 1024u);
        sim::SimTransport unit(options);
        EXPECT_EQ(unit.unit().flashWriteRunning(), !c.restarted);
        link::DeviceLink link(unit, 20ms, nullptr, &ledger);
        std::string notice;
        link.setNoticeListener([&](const std::string& text) { notice = text; });
        ASSERT_TRUE(link.OpenDevice());
        expectIdle(unit.unit(), "unit");
        EXPECT_FALSE(ledger.leftInStateFile(key).has_value());
        EXPECT_NE(notice.find("could not finish"), std::string::npos) << notice;
        // Only what the unit still took: the probe answered at once when it had restarted.
        EXPECT_EQ(unit.reportsWritten(), c.restarted ? 1 : 1024 - 300);
    }
}

TEST(UnitLedger, AFrozenUnitOrOneWithItsTimingAccessOpenIsSettledWhenItIsBack) {
    for (const bool timing : {false, true}) {
        SCOPED_TRACE(timing ? "timing access" : "capture");
        sim::SimOptions options;
        options.width = 160;
        options.height = 120;
        sim::SimTransport unit(options);
        link::UnitLedger ledger({});
        link::DeviceLink link(unit, 20ms, nullptr, &ledger);
        link::Conversation talk(link);
        if (timing) {
            timing::TimingState state;
            timing::openTiming(talk, state, [](int) {});
            const auto written = timing::writeTimingWindow(talk, state, 0);
            ASSERT_TRUE(written.has_value());
            unit.unplug();
            timing::writeEnd(talk, *written);
            timing::closeTiming(talk);
            EXPECT_TRUE(ledger.debt(talk.unit()).writeEndOwed);
        } else {
            capture::Frame frame;
            capture::CaptureCallbacks callbacks;
            callbacks.lines.lineDone = [&](std::int32_t y) {
                if (y == 10) unit.unplug();
                return true;
            };
            capture::captureFrame(talk, 0, frame, callbacks);
        }
        EXPECT_TRUE(ledger.owes(talk.unit()));
        ASSERT_TRUE(unit.unit().frozen() || unit.unit().timingAccessOpen());

        unit.plugBackIn(true);
        link::Conversation again(link);
        expectIdle(unit.unit(), "unit");
        EXPECT_FALSE(ledger.owes(again.unit()));
        // Nothing read on the attachment before goes to the new one, a Write end neither.
        if (timing) {
            EXPECT_EQ(unit.unit().timingCommits(), 0);
        }
    }
}

}  // namespace
}  // namespace kavo3::download
