// The unit's wire vocabulary: command codes, how a command's bytes are laid out, and what its
// answer means. Every sequence, the benchmark and the tests' checks speak it from here.
#pragma once

#include <array>
#include <cstdint>

#include "link/Report.h"

namespace kavo3::link::protocol {

inline constexpr std::uint8_t kStatusPoll = 0;
inline constexpr std::uint8_t kWriteStart = 1;
inline constexpr std::uint8_t kConnectionCheck = 2;
inline constexpr std::uint8_t kErase4K = 4;
inline constexpr std::uint8_t kErase32K = 5;
inline constexpr std::uint8_t kChecksumRequest = 6;
inline constexpr std::uint8_t kTimingAccess = 0x0F;
inline constexpr std::uint8_t kBlockRead = 0x10;
inline constexpr std::uint8_t kBlockWrite = 0x11;
inline constexpr std::uint8_t kWriteEnd = 0x12;
inline constexpr std::uint8_t kRemoteKey = 0x13;
inline constexpr std::uint8_t kFrameInformation = 0x14;
inline constexpr std::uint8_t kLineData = 0x15;
inline constexpr std::uint8_t kFreeze = 0x16;

// Byte 1 of Timing access and of Freeze.
inline constexpr std::uint8_t kBegin = 1;
inline constexpr std::uint8_t kEnd = 0;
// FPGA SELECT B2, the only setting under which the unit sends frames.
inline constexpr std::uint8_t kFpgaSelectB2 = 2;
// Register bytes one Block read answers with, and one Block write carries.
inline constexpr std::size_t kBlockReadBytes = 8;
inline constexpr std::size_t kBlockWriteBytes = 4;

// Byte `index` (0 = least significant) of a little-endian number.
constexpr std::uint8_t byteOf(std::uint32_t value, int index) {
    return static_cast<std::uint8_t>(value >> (8 * index));
}

// A command with no parameters: its code, then zeros.
constexpr Command plain(std::uint8_t code) { return {code, 0, 0, 0, 0, 0, 0, 0}; }

// Code, 0, a 24-bit address and a 24-bit count, least significant bytes first; bits above
// bit 23 are not sent.
constexpr Command addressAndCount(std::uint8_t code, std::uint32_t address, std::uint32_t count) {
    return {code,
            0,
            byteOf(address, 0),
            byteOf(address, 1),
            byteOf(address, 2),
            byteOf(count, 0),
            byteOf(count, 1),
            byteOf(count, 2)};
}

// Write start: `bytes` (a multiple of 8) of raw data reports follow for `address`.
constexpr Command writeStart(std::uint32_t address, std::uint32_t bytes) {
    return addressAndCount(kWriteStart, address, bytes);
}

// The unit's sum over `length` bytes of flash from `address`; fetched by status polls.
constexpr Command checksumRequest(std::uint32_t address, std::uint32_t length) {
    return addressAndCount(kChecksumRequest, address, length);
}

// Erase of the 4 KB (kErase4K) or 32 KB (kErase32K) block at `address`; the three closing
// bytes are fixed.
constexpr Command erase(std::uint8_t code, std::uint32_t address) {
    return {code, 0, byteOf(address, 0), byteOf(address, 1), byteOf(address, 2), 0x55, 0xAA, 0x55};
}

// The status poll is eight zero bytes. It is not a command the link keeps as the last one:
// the bytes a later command leaves unset are those of the checksum request before it.
inline constexpr Command kStatusPollReport = plain(kStatusPoll);
constexpr bool isStatusPoll(const Command& bytes) { return bytes == kStatusPollReport; }

// Block write of four register bytes from the unit address (low, high).
constexpr Command blockWrite(std::uint8_t addressLow, std::uint8_t addressHigh,
                             const std::array<std::uint8_t, kBlockWriteBytes>& data) {
    return {kBlockWrite, 0, addressLow, addressHigh, data[0], data[1], data[2], data[3]};
}

// Write end completes the Block write before it with that write's bytes 1..7.
constexpr Command writeEnd(const Command& blockWrite) {
    Command end = blockWrite;
    end[0] = kWriteEnd;
    return end;
}

// A data report of erased flash: NOR flash keeps its bytes under it.
inline constexpr Command kErasedData{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// --- Answers ---

// Connection check: the unit is ready when any of response bytes 1..8 is non-zero.
constexpr bool unitReady(const Reply& reply) {
    if (!reply.answered) return false;
    for (std::size_t n = 1; n <= 8; ++n)
        if (reply[n] != 0) return true;
    return false;
}

// Status poll after a checksum request.
struct ChecksumStatus {
    bool ready = false;
    std::uint16_t sum = 0;  // the unit's 16-bit sum, once ready
};
constexpr ChecksumStatus checksumStatus(const Reply& reply) {
    return {reply[1] == 1, static_cast<std::uint16_t>(reply[3] * 256 + reply[2])};
}

// Timing access begin: the unit address of the timing register block.
struct TimingBase {
    std::uint8_t low = 0;
    std::uint8_t high = 0;
};
constexpr TimingBase timingBase(const Reply& reply) { return {reply[1], reply[2]}; }

// Block read: register byte j (0..7) from the address read.
constexpr std::uint8_t blockReadByte(const Reply& reply, std::size_t j) { return reply[1 + j]; }

// Frame information, as the unit gives it.
struct FrameInformation {
    std::int32_t horizontal = 0;  // pixels per line − 7
    std::int32_t vertical = 0;    // lines − 10
    std::uint8_t fpgaSelect = 0;
    bool inputPresent = false;  // the input flag: 0 when there is no usable input
};
constexpr FrameInformation frameInformation(const Reply& reply) {
    return {reply[1] | (reply[2] << 8), reply[3] | (reply[4] << 8), reply[5], reply[6] != 0};
}

}  // namespace kavo3::link::protocol
