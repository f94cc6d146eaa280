// The unit's side of a real bus: a USB HID gadget's node (/dev/hidgN, the unit on a USB
// device controller) or /dev/uhid (a HID device made by the kernel on request, no USB).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "unitd/UnitServer.h"

namespace kavo3::unitd {

class BusEnd {
  public:
    enum class Sent { Yes, NotNow, Lost };

    virtual ~BusEnd() = default;
    // The descriptor to poll; POLLOUT matters only where sends can wait.
    virtual int fd() const = 0;
    virtual bool sendsWait() const = 0;
    // After POLLIN: hands what came to the server. False when the bus end failed for good.
    virtual bool receive(UnitServer& server) = 0;
    virtual Sent send(const sim::Answer& answer) = 0;
    // Leaves the bus as a pulled cable does, and comes back; false where this end cannot.
    virtual bool unplug() = 0;
    virtual bool plugIn() = 0;
    // Why the latest call failed.
    const std::string& failure() const { return failure_; }

  protected:
    std::string failure_;
};

// The HID function of a configfs gadget; the gadget itself is set up and bound by the caller.
// With the gadget's configfs folder, unplugging unbinds it from its controller.
std::unique_ptr<BusEnd> openGadget(const std::string& node, const std::string& gadgetDir,
                                   std::string& error);

// A new HID device on /dev/uhid with the unit's identity and report descriptor; it lives until
// the bus end goes. `phys` becomes the device's HID_PHYS, the port path the host sees.
std::unique_ptr<BusEnd> createUhidDevice(const std::string& node, std::uint16_t vendor,
                                         std::uint16_t product, const std::string& phys,
                                         std::string& error);

// The unit's report descriptor: vendor page, 64-byte input and 8-byte output reports, no IDs.
const std::uint8_t* unitReportDescriptor(std::size_t& size);

}  // namespace kavo3::unitd
