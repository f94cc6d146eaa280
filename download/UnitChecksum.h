// The unit's own 16-bit sum over an area of its flash: the checksum request, then status polls
// until the unit says the sum is ready, as the download's verify does. Nothing is erased or
// written, so it tells whether a file is on a unit without touching what is there.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "link/Conversation.h"

namespace kavo3::download {

struct UnitChecksum {
    enum class Answer {
        Ready,       // `sum` is the unit's
        NeverReady,  // the unit kept saying it was not ready, or left a poll unanswered
        NotTaken,    // the unit is there but did not take the request: no sum of its is this area's
        UnitGone,    // the unit left (or came back) during the request
        Stopped,     // stopped on request between polls
    };
    Answer answer = Answer::NeverReady;
    std::uint16_t sum = 0;
};

struct ChecksumPacing {
    std::function<void(int ticks)> settleWait;
    std::function<bool()> stopRequested;    // may be empty
    std::chrono::milliseconds wait{10000};  // how long the unit may say "not ready"
};

UnitChecksum askUnitChecksum(link::Conversation& talk, std::uint32_t address, std::uint32_t length,
                             const ChecksumPacing& pacing);

// The sum of the first `length` bytes of `file`; nullopt when they cannot all be read.
std::optional<std::uint16_t> fileChecksum(const std::filesystem::path& file, std::uint32_t length);

}  // namespace kavo3::download
