// One press of a remote key: the Remote key command with the key's code.
#pragma once

#include <cstdint>

#include "link/Conversation.h"

namespace kavo3::remote {

// Byte 0 = 19, byte 1 = the code, bytes 2 to 7 as the previous command left them; the answer
// is read and not examined. True when the unit took the key and answered.
bool pressRemoteKey(link::DeviceLink& link, std::uint8_t code);
// The same on an attachment a longer sequence began with.
bool pressRemoteKey(link::Conversation& talk, std::uint8_t code);

}  // namespace kavo3::remote
