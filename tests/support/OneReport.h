// Single reports for tests that drive the link below any sequence: each is a sequence of its
// own, so that, as a first write does, it searches for the unit while none is open.
#pragma once

#include "link/Conversation.h"

namespace kavo3::testing {

inline bool sendOne(link::DeviceLink& link, const link::Command& bytes,
                    link::Meant meant = link::Meant::Command) {
    link::Conversation talk(link);
    return talk.send(bytes, meant);
}

// The next answer of whatever attachment is open now.
inline link::Reply readOne(link::DeviceLink& link) { return link.ReadReport(link.attachment()); }

inline link::Reply exchangeOne(link::DeviceLink& link, const link::Command& bytes) {
    link::Conversation talk(link);
    return talk.exchange(bytes);
}

}  // namespace kavo3::testing
