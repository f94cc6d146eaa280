#include "sim/FlashRom.h"

#include <algorithm>

namespace kavo3::sim {

FlashRom::FlashRom() : bytes_(kSize) {
    // One pseudo-random 64 KiB stretch, repeated: cheap to make, never all 0xFF anywhere.
    constexpr std::size_t kStretch = 64 * 1024;
    std::uint32_t state = 0x4B41564Fu;
    for (std::size_t i = 0; i < kStretch; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes_[i] = static_cast<std::uint8_t>(state >> 24);
    }
    for (std::size_t at = kStretch; at < kSize; at += kStretch)
        std::copy_n(bytes_.begin(), kStretch, bytes_.begin() + static_cast<std::ptrdiff_t>(at));
}

void FlashRom::erase(std::uint32_t address, std::uint32_t blockSize) {
    const std::uint32_t start = (address % kSize) / blockSize * blockSize;
    std::fill_n(bytes_.begin() + start, blockSize, std::uint8_t{0xFF});
}

void FlashRom::program(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes_[(address + i) % kSize] &= bytes[i];
}

std::uint16_t FlashRom::sum(std::uint32_t address, std::uint32_t length) const {
    std::uint32_t total = 0;
    for (std::uint32_t i = 0; i < length; ++i) total += bytes_[(address + i) % kSize];
    return static_cast<std::uint16_t>(total);
}

}  // namespace kavo3::sim
