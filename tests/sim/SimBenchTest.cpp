// Several simulated units on one bench: their names, and each driven from a thread of its
// own through its own link, with nothing of one reaching another.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/DeviceLink.h"
#include "link/UnitChoice.h"
#include "sim/SimBench.h"
#include "tests/support/OneReport.h"

namespace kavo3::sim {
namespace {

using namespace std::chrono_literals;

TEST(SimBench, UnitsSwitchGivesEachUnitAPathAndAHubPortOfItsOwn) {
    std::string error;
    EXPECT_EQ(parseSimSwitches("units=8", error)->units, 8);
    for (const char* junk : {"units=0", "units=65", "units", "units=two"})
        EXPECT_FALSE(parseSimSwitches(junk, error)) << junk;

    SimOptions options;
    options.extraInterfaces = 1;
    options.units = 3;
    SimBench bench(options);
    ASSERT_EQ(bench.listInterfaces().size(), 4u);  // the other interface only once
    const std::vector<link::UnitEntry> units = link::listUnits(bench);
    ASSERT_EQ(units.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const std::string number = std::to_string(k + 1);
        EXPECT_TRUE(units[k].path.starts_with("sim/unit" + number + "/hidraw")) << units[k].path;
        EXPECT_EQ(units[k].portPath, "usb-sim-1." + number + "/input0");
        EXPECT_EQ(bench.slotNaming(units[k].portPath), &bench.slot(k));
        EXPECT_EQ(bench.slotNaming(units[k].path), &bench.slot(k));
    }
    EXPECT_EQ(bench.slotNaming("usb-sim-1.4/input0"), nullptr);

    // A bench of one keeps the single unit's own names.
    SimBench one{SimOptions{}};
    const std::vector<link::UnitEntry> single = link::listUnits(one);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].path, SimTransport().unitPath());
    EXPECT_EQ(single[0].portPath, "usb-sim-1/input0");
}

TEST(SimBench, UnitsOfTheirOwnSwitchesKeepThemAndTheBenchNames) {
    SimOptions silent;
    silent.noAnswer = true;
    SimBench bench(std::vector<SimOptions>{SimOptions{}, silent});
    ASSERT_EQ(bench.size(), 2);
    EXPECT_FALSE(bench.unit(0).options().noAnswer);
    EXPECT_TRUE(bench.unit(1).options().noAnswer);
    const std::vector<link::UnitEntry> units = link::listUnits(bench);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].portPath, "usb-sim-1.2/input0");
}

TEST(SimBench, EachUnitOnItsOwnThreadGetsOnlyItsOwnBytes) {
    SimOptions options;
    options.units = 4;
    options.reportDelay = 50us;
    SimBench bench(options);
    constexpr int kReports = 200;

    std::vector<std::thread> threads;
    std::array<bool, 4> found{};
    for (int k = 0; k < 4; ++k) {
        threads.emplace_back([&, k] {
            const std::string port = "usb-sim-1." + std::to_string(k + 1) + "/input0";
            link::ChosenUnit chosen(*bench.slotNaming(port), port);
            link::DeviceLink link(chosen, 200ms);
            found[k] = link.OpenDevice();
            // Erase the first 4 KB, then write kReports data reports of the unit's number.
            kavo3::testing::sendOne(link, {4, 0, 0, 0, 0, 0x55, 0xAA, 0x55});
            kavo3::testing::readOne(link);
            kavo3::testing::sendOne(link, {1, 0, 0, 0, 0, kReports * 8 & 0xFF, kReports * 8 >> 8, 0});
            const auto b = static_cast<std::uint8_t>(0xA0 + k);
            for (int r = 0; r < kReports; ++r)
                kavo3::testing::sendOne(link, {b, b, b, b, b, b, b, b}, link::Meant::Data);
            kavo3::testing::readOne(link);
        });
    }
    for (std::thread& t : threads) t.join();

    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(found[k]) << k;
        const std::vector<std::uint8_t>& flash = bench.unit(k).unit().flash();
        for (std::size_t i = 0; i < kReports * 8; ++i)
            ASSERT_EQ(flash[i], 0xA0 + k) << "unit " << k << " byte " << i;
        EXPECT_EQ(flash[kReports * 8], 0xFF) << k;
        EXPECT_EQ(bench.unit(k).reportsWritten(), kReports + 2) << k;
    }
}

}  // namespace
}  // namespace kavo3::sim
