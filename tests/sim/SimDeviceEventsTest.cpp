// The simulated unit's unplugging and plugging in raise the device events a platform would,
// naming the interface as the search lists it.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "SimRig.h"
#include "link/DeviceEvents.h"

namespace kavo3::sim {
namespace {

using link::DeviceEvent;
using testing::SimRig;
using Kind = DeviceEvent::Kind;

struct Heard {
    std::vector<DeviceEvent> events;
    explicit Heard(link::DeviceEvents& source) {
        source.setListener([this](const DeviceEvent& e) { events.push_back(e); });
    }
};

TEST(SimDeviceEvents, UnplugAndPlugInAreHeardWithThePathsTheSearchListed) {
    SimTransport t;
    Heard heard(t);
    const std::string first = t.unitPath();
    t.unplug();
    t.unplug();  // already out: nothing more to hear
    t.plugBackIn();
    t.plugBackIn();
    ASSERT_EQ(heard.events.size(), 2u);
    EXPECT_EQ(heard.events[0].kind, Kind::Left);
    EXPECT_EQ(heard.events[0].path, first);
    EXPECT_EQ(heard.events[1].kind, Kind::Arrived);
    EXPECT_EQ(heard.events[1].path, t.unitPath());
    EXPECT_EQ(t.listInterfaces().back().path, heard.events[1].path);
    EXPECT_TRUE(link::mayBeUnit(heard.events[1]));
    EXPECT_FALSE(t.nextChangeDue());
}

TEST(SimDeviceEvents, AUnitThatLeavesDuringAnExchangeIsHeardAndComesBackWhenDue) {
    SimOptions backSoon;
    backSoon.unplugAfter = 1;
    backSoon.replugAfterMs = 20;
    SimRig rig(backSoon);
    Heard heard(rig.transport);
    rig.exchange({2});
    ASSERT_EQ(heard.events.size(), 1u);
    EXPECT_EQ(heard.events[0].kind, Kind::Left);
    const auto due = rig.transport.nextChangeDue();
    ASSERT_TRUE(due);

    rig.transport.receive();  // not due yet
    EXPECT_EQ(heard.events.size(), 1u);
    // A sleep may end a little before the steady clock reaches the time (Windows).
    while (link::DeviceEvents::Clock::now() < *due) std::this_thread::sleep_until(*due);
    rig.transport.receive();
    ASSERT_EQ(heard.events.size(), 2u);
    EXPECT_EQ(heard.events[1].kind, Kind::Arrived);
    EXPECT_FALSE(rig.transport.nextChangeDue());
}

}  // namespace
}  // namespace kavo3::sim
