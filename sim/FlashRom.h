// The unit's 2 MiB NOR flash: erasing sets a whole block to 0xFF, programming can only
// clear bits, and the checksum sums what is really stored.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kavo3::sim {

class FlashRom {
  public:
    static constexpr std::uint32_t kSize = 2u * 1024 * 1024;
    static constexpr std::uint32_t kSmallBlock = 4 * 1024;
    static constexpr std::uint32_t kLargeBlock = 32 * 1024;

    // Starts with old contents (a fixed pseudo-random pattern), as a used unit would have,
    // so that a write into an area that was not erased shows in the checksum.
    FlashRom();

    // Erases the block of `blockSize` bytes that holds `address`.
    void erase(std::uint32_t address, std::uint32_t blockSize);

    // Programs bytes from `address` on: each stored byte becomes old AND new. Addresses wrap
    // at the end of the chip, as the address decoder ignores the bits above it.
    void program(std::uint32_t address, std::span<const std::uint8_t> bytes);

    // 16-bit sum of `length` stored bytes from `address`, carry dropped.
    std::uint16_t sum(std::uint32_t address, std::uint32_t length) const;

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    // The contents a unit kept from an earlier program; a chip of another size is ignored.
    void restore(const std::vector<std::uint8_t>& bytes) {
        if (bytes.size() == kSize) bytes_ = bytes;
    }
    std::uint8_t at(std::uint32_t address) const { return bytes_[address % kSize]; }

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace kavo3::sim
