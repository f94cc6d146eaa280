#include "link/ConnectionCheck.h"

#include <algorithm>

#include "link/Conversation.h"

namespace kavo3::link {

namespace {
constexpr std::uint8_t kConnectionCheck = 2;
constexpr int kSettleTicks = 3;
}  // namespace

Connection checkConnection(DeviceLink& link, const std::function<void(int ticks)>& settleWait) {
    if (!link.OpenDevice()) return Connection::NotFound;
    Conversation talk(link);
    // Zeros left by a read that brought no report are no answer, whatever the buffer holds.
    const bool answered = talk.exchange({kConnectionCheck, 0, 0, 0, 0, 0, 0, 0}) &&
                          std::any_of(link.ReadBuffer.begin() + 1, link.ReadBuffer.begin() + 9,
                                      [](std::uint8_t b) { return b != 0; });
    settleWait(kSettleTicks);
    return answered ? Connection::Ready : Connection::Silent;
}

}  // namespace kavo3::link
