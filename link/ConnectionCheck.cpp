#include "link/ConnectionCheck.h"

#include "link/Conversation.h"
#include "link/Protocol.h"

namespace kavo3::link {

namespace {
constexpr int kSettleTicks = 3;
}  // namespace

Connection checkConnection(DeviceLink& link, const std::function<void(int ticks)>& settleWait) {
    if (!link.OpenDevice()) return Connection::NotFound;
    Conversation talk(link);
    const bool answered =
        protocol::unitReady(talk.exchange(protocol::plain(protocol::kConnectionCheck)));
    settleWait(kSettleTicks);
    return answered ? Connection::Ready : Connection::Silent;
}

}  // namespace kavo3::link
