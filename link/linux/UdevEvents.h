// Arrivals and departures of hidraw nodes on Linux, from udev's monitor: the events come after
// udev has applied its rules, so that an arrived node can already be opened. Where udev does
// not run (a container, a minimal system) its monitor would never hear anything; the kernel's
// own events stand in, sent once devtmpfs has made the node.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/DeviceEvents.h"

struct udev;
struct udev_monitor;

namespace kavo3::link {

class UdevEvents : public DeviceEvents {
  public:
    // `udevRunDir` is udev's runtime folder; udev runs when its control socket is there.
    explicit UdevEvents(const std::string& udevRunDir = "/run/udev");
    ~UdevEvents() override;
    UdevEvents(const UdevEvents&) = delete;
    UdevEvents& operator=(const UdevEvents&) = delete;

    std::string problem() const override { return problem_; }
    std::string source() const override { return source_; }
    int descriptor() const override;
    void receive() override;

  private:
    struct udev* udev_ = nullptr;
    struct udev_monitor* monitor_ = nullptr;
    std::string problem_;
    std::string source_;
};

// One udev event of the hidraw subsystem as a device event: "add" and "remove" of a node,
// nothing for other actions. `hidId` is the HID_ID of the node's HID device, where known.
std::optional<DeviceEvent> hidrawEvent(std::string_view action, const char* devnode,
                                       const char* hidId);

}  // namespace kavo3::link
