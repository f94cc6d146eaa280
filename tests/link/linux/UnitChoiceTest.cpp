// Choosing one of several units by node path or USB port path, over the hidraw backend with
// a fake sysfs tree: what the search opens and which unit the link ends up with.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "link/UnitChoice.h"
#include "tests/link/linux/FakeHidraw.h"

namespace kavo3::link {
namespace {

using namespace std::chrono_literals;

std::string ueventAt(std::uint16_t vendor, std::uint16_t product, const std::string& phys) {
    return testing::uevent(vendor, product) + "HID_PHYS=" + phys + "\n";
}

class UnitChoiceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ::signal(SIGPIPE, SIG_IGN); }

    UnitChoiceTest() {
        // A keyboard first, two units on hub ports 1.1 and 1.2 (the later node on the lower
        // port), and a unit whose device says nothing of its port.
        sysfs.add("hidraw0", ueventAt(0x046D, 0xC31C, "usb-0000:00:14.0-2/input0"), {});
        sysfs.add("hidraw3", ueventAt(0x17A7, 1, "usb-0000:00:14.0-1.2/input0"),
                  testing::vendorDescriptor());
        sysfs.add("hidraw4", ueventAt(0x17A7, 2, "usb-0000:00:14.0-1.1/input0"),
                  testing::vendorDescriptor());
        sysfs.addUnit("hidraw5", 0x04D8, 0);
        for (const char* n : {"hidraw0", "hidraw3", "hidraw4", "hidraw5"})
            ends.push_back(transport.plug(sysfs.node(n)));
    }

    testing::FakeSysfs sysfs;
    testing::SocketHidrawTransport transport{sysfs.sys(), sysfs.dev()};
    std::vector<UniqueFd> ends;
};

TEST_F(UnitChoiceTest, ListsTheUnitsWithTheirPortsWithoutOpeningAnything) {
    const std::vector<UnitEntry> units = listUnits(transport);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].path, sysfs.node("hidraw3"));
    EXPECT_EQ(units[0].portPath, "usb-0000:00:14.0-1.2/input0");
    EXPECT_EQ(units[1].path, sysfs.node("hidraw4"));
    EXPECT_EQ(units[1].portPath, "usb-0000:00:14.0-1.1/input0");
    EXPECT_EQ(units[1].identity.ProductID, 2);
    EXPECT_EQ(units[2].path, sysfs.node("hidraw5"));
    EXPECT_EQ(units[2].portPath, "");
    EXPECT_TRUE(transport.opens.empty());
}

TEST_F(UnitChoiceTest, ALinkOverAChoiceFindsThatUnitAndOpensNoOther) {
    struct Case {
        std::string id;
        std::string found;  // node name, empty: no unit
    };
    const std::vector<Case> cases = {
        {sysfs.node("hidraw4"), "hidraw4"},
        {"usb-0000:00:14.0-1.2/input0", "hidraw3"},
        {"usb-0000:00:14.0-1.1/input0", "hidraw4"},
        {sysfs.node("hidraw5"), "hidraw5"},
        {"usb-0000:00:14.0-1.3/input0", ""},  // an empty port
        {sysfs.node("hidraw0"), ""},          // not a unit
        {"usb-0000:00:14.0-1", ""},           // the start of a port path is not a port
        {"", ""},
    };
    for (const Case& c : cases) {
        transport.opens.clear();
        ChosenUnit chosen(transport, c.id);
        DeviceLink link(chosen, 20ms);
        EXPECT_EQ(link.OpenDevice(), !c.found.empty()) << c.id;
        if (c.found.empty()) {
            for (const std::string& opened : transport.opens)
                EXPECT_EQ(opened, sysfs.node("hidraw0")) << c.id;
            continue;
        }
        EXPECT_EQ(link.DevicePath(), sysfs.node(c.found)) << c.id;
        for (const std::string& opened : transport.opens)
            EXPECT_EQ(opened, sysfs.node(c.found)) << c.id;
    }
}

}  // namespace
}  // namespace kavo3::link
