// Arrivals and departures of HID interfaces, as the platform announces them, so that the
// program never has to look for a unit on a timer.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "link/Transport.h"

namespace kavo3::link {

struct DeviceEvent {
    enum class Kind { Arrived, Left };
    Kind kind = Kind::Arrived;
    // The interface as the transport lists it.
    std::string path;
    // What the platform says of the device along with the event, where it says it.
    std::optional<HidAttributes> identity;
};

// False only when the event names a device that is certainly not a unit.
bool mayBeUnit(const DeviceEvent& event);

// Whether two names of an interface name the same one (Windows spells them in either case).
bool sameInterface(const std::string& a, const std::string& b);

// A source of device events. It raises them on the thread that asks it to receive them; the
// listener must not talk to the unit from inside the call (the event may be raised in the
// middle of an exchange).
class DeviceEvents {
  public:
    using Listener = std::function<void(const DeviceEvent&)>;
    using Clock = std::chrono::steady_clock;

    virtual ~DeviceEvents() = default;

    // One listener; events raised while there is none are dropped.
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // A descriptor that becomes readable when events wait to be received; -1 for none.
    virtual int descriptor() const { return -1; }
    // When a change is due that the source knows the time of in advance.
    virtual std::optional<Clock::time_point> nextChangeDue() const { return std::nullopt; }
    // Takes in whatever waits or is due and raises it.
    virtual void receive() {}
    // Empty while events can be heard; otherwise why not, for the trace.
    virtual std::string problem() const { return {}; }
    // Where the events come from, for the trace; empty where there is one source only.
    virtual std::string source() const { return {}; }

  protected:
    void raise(const DeviceEvent& event) {
        if (listener_) listener_(event);
    }

  private:
    Listener listener_;
};

}  // namespace kavo3::link
