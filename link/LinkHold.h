// The hold on the device link that a caller takes for a sequence nothing may interrupt: the
// unit takes every report between a download's write start and its last data report as data,
// so any other window's command in that time would land in the flash.
#pragma once

#include "link/DeviceLink.h"

namespace kavo3::link {

class DeviceLink::Hold {
  public:
    ~Hold() { release(); }
    Hold(Hold&& other) noexcept : link_(other.link_), active_(other.active_) {
        other.link_ = nullptr;
        other.active_ = false;
    }
    Hold& operator=(Hold&&) = delete;
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

    // The link's own exchange operations, for the holder only (see DeviceLink): a unit that
    // came back during the hold gets nothing of it.
    bool WriteReport(const Command& bytes, Meant meant, Attachment to);
    Reply ReadReport(Attachment from);

    // Ends the hold; what waited for it (DeviceLink::runWhenFree) runs now, in order.
    void release();

    // False for a hold asked for while the link was already held: it gets nothing through.
    bool active() const { return active_; }

  private:
    friend class DeviceLink;
    Hold(DeviceLink& link, bool active) : link_(&link), active_(active) {}

    DeviceLink* link_;
    bool active_;
};

}  // namespace kavo3::link
