// udev's hidraw events as device events, and the monitor that hears them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "link/linux/UdevEvents.h"

namespace kavo3::link {
namespace {

TEST(UdevEvents, AddAndRemoveOfANodeAreArrivalAndDeparture) {
    using Kind = DeviceEvent::Kind;
    const struct {
        const char* action;
        const char* devnode;
        const char* hidId;
        std::optional<Kind> kind;  // nullopt: no event
        std::optional<std::pair<int, int>> identity;
    } cases[] = {
        {"add", "/dev/hidraw3", "0003:000017A7:00000001", Kind::Arrived, std::pair{0x17A7, 1}},
        {"add", "/dev/hidraw4", "0003:04D8:0000", Kind::Arrived, std::pair{0x04D8, 0}},
        {"add", "/dev/hidraw5", nullptr, Kind::Arrived, std::nullopt},
        {"add", "/dev/hidraw5", "garbage", Kind::Arrived, std::nullopt},
        {"add", "/dev/hidraw5", "0003:0001017A7:00000001", Kind::Arrived, std::nullopt},
        {"remove", "/dev/hidraw3", nullptr, Kind::Left, std::nullopt},
        {"change", "/dev/hidraw3", nullptr, std::nullopt, std::nullopt},
        {"bind", "/dev/hidraw3", nullptr, std::nullopt, std::nullopt},
        {"add", nullptr, nullptr, std::nullopt, std::nullopt},
        {"add", "", nullptr, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.action) + " " + (c.devnode ? c.devnode : "-") + " " +
                                 (c.hidId ? c.hidId : "-");
        const auto event = hidrawEvent(c.action, c.devnode, c.hidId);
        ASSERT_EQ(event.has_value(), c.kind.has_value()) << what;
        if (!event) continue;
        EXPECT_EQ(event->kind, *c.kind) << what;
        EXPECT_EQ(event->path, c.devnode) << what;
        ASSERT_EQ(event->identity.has_value(), c.identity.has_value()) << what;
        if (!event->identity) continue;
        EXPECT_EQ(event->identity->VendorID, c.identity->first) << what;
        EXPECT_EQ(event->identity->ProductID, c.identity->second) << what;
    }
}

// Without udev running its monitor never hears a thing (measured in a guest without udevd);
// the kernel's events are heard instead.
TEST(UdevEvents, WithoutUdevRunningTheKernelsEventsAreHeard) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("udev-run-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        UdevEvents events(dir.string());
        EXPECT_EQ(events.source(), "kernel (udev is not running)");
        EXPECT_EQ(events.descriptor() >= 0, events.problem().empty()) << events.problem();
    }
    std::ofstream(dir / "control") << "";
    {
        UdevEvents events(dir.string());
        EXPECT_EQ(events.source(), "udev");
        EXPECT_EQ(events.descriptor() >= 0, events.problem().empty()) << events.problem();
    }
    std::filesystem::remove_all(dir);
}

TEST(UdevEvents, TheMonitorHasADescriptorToWatchOrSaysWhyNotAndNeverBlocks) {
    UdevEvents events;
    EXPECT_EQ(events.descriptor() >= 0, events.problem().empty()) << events.problem();
    int raised = 0;
    events.setListener([&](const DeviceEvent&) { ++raised; });
    events.receive();  // nothing waits: returns at once
    EXPECT_EQ(raised, 0);
}

}  // namespace
}  // namespace kavo3::link
