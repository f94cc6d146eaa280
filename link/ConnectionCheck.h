// The search for the unit and the connection check (command 2) that every way into the unit
// starts with.
#pragma once

#include <functional>

#include "link/DeviceLink.h"

namespace kavo3::link {

enum class Connection {
    NotFound,  // no unit among the HID interfaces, or it could not be opened
    Silent,    // found, but its answer was eight zero bytes or none at all
    Ready,     // some response byte 1 to 8 was not 0
};

// OpenDevice; when the unit is found, one exchange of command 2 and then a settle wait of
// 3 ticks.
Connection checkConnection(DeviceLink& link, const std::function<void(int ticks)>& settleWait);

}  // namespace kavo3::link
