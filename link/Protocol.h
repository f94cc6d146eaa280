// The unit's command codes and the few fixed reports that the link itself sends.
#pragma once

#include <array>
#include <cstdint>

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

// A data report of erased flash: NOR flash keeps its bytes under it.
inline constexpr std::array<std::uint8_t, 8> kErasedData{0xFF, 0xFF, 0xFF, 0xFF,
                                                         0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace kavo3::link::protocol
