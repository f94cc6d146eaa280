#include "remote/RemoteKeyPress.h"

#include "remote/RemoteKeys.h"

namespace kavo3::remote {

bool pressRemoteKey(link::DeviceLink& link, std::uint8_t code) {
    link::Conversation talk(link);
    return pressRemoteKey(talk, code);
}

bool pressRemoteKey(link::Conversation& talk, std::uint8_t code) {
    return talk.exchange(talk.following(kRemoteKeyCommand, code));
}

}  // namespace kavo3::remote
