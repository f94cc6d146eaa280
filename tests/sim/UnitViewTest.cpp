// The unit's own view of the wire: each check fires on the report that breaks it, and only
// then. The test takes the violations it caused, so that the listener does not fail it.
#include <gtest/gtest.h>

#include "SimRig.h"
#include "sim/UnitView.h"
#include "tests/support/OneReport.h"

namespace kavo3::sim {
namespace {

using testing::SimRig;
using Command = std::array<std::uint8_t, 8>;

struct Step {
    Command bytes;
    link::Meant meant = link::Meant::Command;
    bool replugFirst = false;  // the unit leaves and comes back before this report
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    long violations;
};

constexpr Command kTimingBegin{0x0F, 1};
constexpr Command kReadAt20{0x10, 0, 0x20, 0x01};                   // reports 0x120..0x127
constexpr Command kWriteAt24{0x11, 0, 0x24, 0x01, 1, 2, 3, 4};      // 0x124..0x127
constexpr Command kWriteAt26{0x11, 0, 0x26, 0x01, 1, 2, 3, 4};      // 0x126..0x129
constexpr Command kWriteStart16{1, 0, 0x00, 0x80, 0x0E, 16, 0, 0};  // two data reports
constexpr Command kData{4, 0, 0x0E, 0x80, 0, 0x55, 0xAA, 0x55};     // reads as an erase

TEST(UnitView, EachCheckFiresOnTheReportThatBreaksIt) {
    using link::Meant;
    const std::vector<Case> cases{
        {"reads then writes inside them", {{kTimingBegin}, {kReadAt20}, {kWriteAt24}}, 0},
        {"write past what was read", {{kTimingBegin}, {kReadAt20}, {kWriteAt26}}, 1},
        {"write without a Timing access start", {{kReadAt20}, {kWriteAt24}}, 1},
        {"write end after a replug",
         {{kTimingBegin}, {kReadAt20}, {{0x12, 0, 0x24, 1}, Meant::Command, true}},
         1},
        {"data inside its write start",
         {{kWriteStart16}, {kData, Meant::Data}, {kData, Meant::Data}},
         0},
        {"data beyond the count",
         {{kWriteStart16}, {kData, Meant::Data}, {kData, Meant::Data}, {kData, Meant::Data}},
         1},
        {"data without a write start", {{kData, Meant::Data}}, 1},
        {"data after a replug", {{kWriteStart16}, {kData, Meant::Data, true}}, 1},
        {"command while data is due", {{kWriteStart16}, {{2}}}, 1},
        {"a probe is taken either way",
         {{kWriteStart16}, {kData, Meant::Probe}, {{2}, Meant::Probe}},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        for (const Step& step : c.steps) {
            if (step.replugFirst) {
                rig.transport.unplug();
                rig.transport.plugBackIn();
                rig.link.OpenDevice();
            }
            kavo3::testing::sendOne(rig.link, step.bytes, step.meant);
            kavo3::testing::readOne(rig.link);
        }
        EXPECT_EQ(rig.unit().view().violationCount(), c.violations);
        EXPECT_EQ(static_cast<long>(takeViolations().size()), c.violations);
    }
}

TEST(UnitView, RecordsEachAttachmentApart) {
    SimRig rig;
    rig.exchange({2});
    rig.exchange({19, 5});
    rig.transport.unplug();
    rig.transport.plugBackIn();
    rig.link.OpenDevice();
    rig.exchange({2});
    const auto& seen = rig.unit().view().attachments();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.begin()->second.commands, 2);
    EXPECT_EQ(seen.begin()->second.answersDelivered, 2);
    EXPECT_EQ(seen.rbegin()->second.commands, 1);
    EXPECT_EQ(seen.rbegin()->second.answersDelivered, 1);
}

}  // namespace
}  // namespace kavo3::sim
