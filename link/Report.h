// What travels in one exchange: the eight command bytes out, and the reply that came back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kavo3::link {

// The eight command bytes of one output report.
using Command = std::array<std::uint8_t, 8>;

// One opening of the unit. A unit that leaves and comes back is a new attachment: nothing
// read from one may be written to another.
using Attachment = std::uint64_t;
inline constexpr Attachment kNoAttachment = 0;

// Response bytes an input report carries after its report ID.
inline constexpr std::size_t kResponseBytes = 64;

// What a read brought: an answer only when a report came, and from which attachment. A
// timeout, a refused read or a read on a gone unit is no answer, and all its bytes are 0.
struct Reply {
    bool answered = false;
    Attachment attachment = kNoAttachment;
    // Response bytes 1..64 of the input report, at indexes 0..63.
    std::array<std::uint8_t, kResponseBytes> bytes{};

    constexpr bool from(Attachment a) const { return answered && a != kNoAttachment && attachment == a; }
    // Response byte n, 1..64, as the unit numbers them (the report ID is byte 0, never read).
    constexpr std::uint8_t operator[](std::size_t n) const {
        return n >= 1 && n <= kResponseBytes ? bytes[n - 1] : 0;
    }
    std::span<const std::uint8_t> data() const { return bytes; }
};

}  // namespace kavo3::link
