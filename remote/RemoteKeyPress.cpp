#include "remote/RemoteKeyPress.h"

#include "link/Protocol.h"

namespace kavo3::remote {

bool pressRemoteKey(link::DeviceLink& link, std::uint8_t code) {
    link::Conversation talk(link);
    return pressRemoteKey(talk, code);
}

bool pressRemoteKey(link::Conversation& talk, std::uint8_t code) {
    // Byte 1 carries the key's code; the rest goes as the last command left it.
    return talk.exchange(talk.following(link::protocol::kRemoteKey, code)).answered;
}

}  // namespace kavo3::remote
