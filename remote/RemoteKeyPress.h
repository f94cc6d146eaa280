// One press of a remote key: the Remote key command with the key's code.
#pragma once

#include <cstdint>

#include "link/DeviceLink.h"

namespace kavo3::remote {

// Byte 0 = 19, byte 1 = the code, bytes 2 to 7 as the previous command left them; the answer
// is read and not examined.
void pressRemoteKey(link::DeviceLink& link, std::uint8_t code);

}  // namespace kavo3::remote
