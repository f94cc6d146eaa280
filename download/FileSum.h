// The 16-bit byte sum that the host and the unit both compute over the downloaded bytes.
#pragma once

#include <cstdint>
#include <span>

namespace kavo3::download {

// Adds each byte to `sum`; the carry out of bit 15 is dropped.
constexpr std::uint16_t addToSum(std::uint16_t sum, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) sum = static_cast<std::uint16_t>(sum + b);
    return sum;
}

}  // namespace kavo3::download
