#include "remote/RemoteKeyPress.h"

#include "remote/RemoteKeys.h"

namespace kavo3::remote {

void pressRemoteKey(link::DeviceLink& link, std::uint8_t code) {
    link.CommandBytes[0] = kRemoteKeyCommand;
    link.CommandBytes[1] = code;
    link.WriteReport(link.CommandBytes);
    link.ReadReport();
}

}  // namespace kavo3::remote
