// A run's unit as the operation layer finds it on the simulated bench: what stops it before
// anything is sent, and a download through the callbacks built for a terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "download/ErasePlan.h"
#include "operate/DownloadHooks.h"
#include "operate/DownloadVerdicts.h"
#include "operate/UnitRun.h"

namespace kavo3::operate {
namespace {

using Kind = OpenProblem::Kind;

UnitOptions simulated(const std::string& switches, bool writes = true) {
    UnitOptions options;
    options.simulated = true;
    options.simSwitches = switches;
    options.writes = writes;
    return options;
}

TEST(UnitRun, WhatStopsARunBeforeAnythingIsSent) {
    struct Case {
        UnitOptions options;
        Kind kind;
    };
    UnitOptions twoDevices = simulated("units=2");
    twoDevices.devices = {"a", "b"};
    UnitOptions noTrace = simulated("");
    noTrace.tracePath = (std::filesystem::temp_directory_path() / "kavo3-no-folder" / "trace")
                            .string();
    const std::vector<Case> cases = {
        {simulated("size=1"), Kind::BadSimSwitches},
        {twoDevices, Kind::SeveralDevices},
        {simulated("units=3"), Kind::WhichUnit},
        {noTrace, Kind::TraceNotOpened},
    };
    for (const Case& c : cases) {
        OpenProblem problem;
        EXPECT_EQ(UnitRun::create(c.options, problem), nullptr) << c.options.simSwitches;
        EXPECT_EQ(problem.kind, c.kind) << c.options.simSwitches;
        if (c.kind == Kind::WhichUnit) {
            EXPECT_EQ(problem.units.size(), 3u);
        }
        if (c.kind == Kind::BadSimSwitches) {
            EXPECT_NE(problem.detail.find("size=1"), std::string::npos);
        }
    }
}

TEST(UnitRun, AReadingRunTakesTheFirstOfSeveralUnitsAndEachUnitCanBeRunOnItsOwn) {
    OpenProblem problem;
    auto first = UnitRun::create(simulated("units=2", false), problem);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->connect(), link::Connection::Ready);
    EXPECT_TRUE(first->stayedConnected());

    std::string error;
    auto bus = UnitBus::create(simulated("units=2"), error);
    ASSERT_NE(bus, nullptr) << error;
    const std::vector<link::UnitEntry> units = bus->units();
    ASSERT_EQ(units.size(), 2u);
    for (const link::UnitEntry& unit : units) {
        auto run = UnitRun::createFor(*bus, unitName(unit), "", problem);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(run->chosen(), unitName(unit));
        EXPECT_EQ(run->connect(), link::Connection::Ready);
    }
}

TEST(UnitRun, ADownloadWithNothingShownRunsToItsVerdict) {
    OpenProblem problem;
    auto unit = UnitRun::create(simulated(""), problem);
    ASSERT_NE(unit, nullptr);
    ASSERT_EQ(unit->connect(), link::Connection::Ready);
    // No status, progress or padding given: the run still calls each of them.
    const std::vector<std::uint8_t> copy(3 * download::kDataReportBytes + 5, 0x5A);
    download::DownloadSequence run(unit->link(), downloadCallbacks({}));
    const download::DownloadResult result =
        run.run(unit->talk(), download::kDownloadAddress, copy);
    EXPECT_TRUE(unit->stayedConnected());
    EXPECT_EQ(verdictOf(result.outcome).exitCode, kExitOk) << verdictOf(result.outcome).word;
}

}  // namespace
}  // namespace kavo3::operate
