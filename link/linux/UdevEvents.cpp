#include "link/linux/UdevEvents.h"

#include <libudev.h>
#include <unistd.h>

#include <charconv>

namespace kavo3::link {

namespace {

std::optional<std::uint32_t> hexField(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || ec != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "0003:000017A7:00000001": bus, vendor, product.
std::optional<HidAttributes> identityFromHidId(std::string_view text) {
    const std::size_t c1 = text.find(':');
    if (c1 == std::string_view::npos) return std::nullopt;
    const std::size_t c2 = text.find(':', c1 + 1);
    if (c2 == std::string_view::npos) return std::nullopt;
    const auto bus = hexField(text.substr(0, c1));
    const auto vendor = hexField(text.substr(c1 + 1, c2 - c1 - 1));
    const auto product = hexField(text.substr(c2 + 1));
    if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
    return HidAttributes{static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product),
                         0};
}

}  // namespace

std::optional<DeviceEvent> hidrawEvent(std::string_view action, const char* devnode,
                                       const char* hidId) {
    if (!devnode || !*devnode) return std::nullopt;
    DeviceEvent event;
    if (action == "add")
        event.kind = DeviceEvent::Kind::Arrived;
    else if (action == "remove")
        event.kind = DeviceEvent::Kind::Left;
    else
        return std::nullopt;
    event.path = devnode;
    if (hidId) event.identity = identityFromHidId(hidId);
    return event;
}

UdevEvents::UdevEvents(const std::string& udevRunDir) {
    const bool udevRuns = ::access((udevRunDir + "/control").c_str(), F_OK) == 0;
    source_ = udevRuns ? "udev" : "kernel (udev is not running)";
    udev_ = udev_new();
    if (udev_) monitor_ = udev_monitor_new_from_netlink(udev_, udevRuns ? "udev" : "kernel");
    if (!monitor_) {
        problem_ = "udev monitor: cannot be created";
        return;
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        problem_ = "udev monitor: cannot receive events";
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
}

UdevEvents::~UdevEvents() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

int UdevEvents::descriptor() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

void UdevEvents::receive() {
    if (!monitor_) return;
    // The monitor's socket does not block: take everything that waits.
    while (struct udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        // A node that has left has no HID device in sysfs any more to say what it was.
        struct udev_device* hid =
            udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
        const auto event =
            hidrawEvent(action ? action : "", udev_device_get_devnode(device),
                        hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr);
        udev_device_unref(device);
        if (event) raise(*event);
    }
}

}  // namespace kavo3::link
