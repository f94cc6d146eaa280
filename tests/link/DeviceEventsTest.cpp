// What a device event says: whether it may concern a unit, and which interface it names.
#include <gtest/gtest.h>

#include "link/DeviceEvents.h"

namespace kavo3::link {
namespace {

TEST(DeviceEvents, OnlyADeviceKnownNotToBeAUnitIsPassedOver) {
    const struct {
        std::optional<HidAttributes> identity;
        bool mayBeUnit;
    } cases[] = {
        {std::nullopt, true},
        {HidAttributes{0x17A7, 0x0001, 0}, true},
        {HidAttributes{0x17A7, 0x0002, 0}, true},
        {HidAttributes{0x04D8, 0x0000, 0}, true},
        {HidAttributes{0x04D8, 0x0001, 0}, false},
        {HidAttributes{0x046D, 0xC077, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mayBeUnit({DeviceEvent::Kind::Arrived, "x", c.identity}), c.mayBeUnit)
            << (c.identity ? c.identity->VendorID : 0) << ":"
            << (c.identity ? c.identity->ProductID : 0);
}

TEST(DeviceEvents, NamesOfOneInterfaceDifferOnlyInCase) {
    EXPECT_TRUE(
        sameInterface(R"(\\?\HID#VID_17A7&PID_0001#7&1)", R"(\\?\hid#vid_17a7&pid_0001#7&1)"));
    EXPECT_FALSE(sameInterface("/dev/hidraw1", "/dev/hidraw10"));
}

}  // namespace
}  // namespace kavo3::link
