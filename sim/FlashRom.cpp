#include "sim/FlashRom.h"

#include <algorithm>

namespace kavo3::sim {

FlashRom::FlashRom() : bytes_(kSize) {
    std::uint32_t state = 0x4B41564Fu;
    for (auto& b : bytes_) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
}

void FlashRom::erase(std::uint32_t address, std::uint32_t blockSize) {
    const std::uint32_t start = (address % kSize) / blockSize * blockSize;
    std::fill_n(bytes_.begin() + start, blockSize, std::uint8_t{0xFF});
}

void FlashRom::program(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes_[(address + i) % kSize] &= bytes[i];
}

std::uint16_t FlashRom::sum(std::uint32_t address, std::uint32_t length) const {
    std::uint32_t total = 0;
    for (std::uint32_t i = 0; i < length; ++i) total += bytes_[(address + i) % kSize];
    return static_cast<std::uint16_t>(total);
}

}  // namespace kavo3::sim
