// Where a file goes into the flash, how much of it, and which blocks are erased for it.
#pragma once

#include <cstdint>

namespace kavo3::download {

// The main window's download area begins here.
inline constexpr std::uint32_t kDownloadAddress = 0x0E8000;
// The download area ends 1 MiB after its start.
inline constexpr std::uint32_t kMaxDownloadBytes = 0x100000;
inline constexpr std::uint32_t kLargeBlockBytes = 0x8000;  // command 5
inline constexpr std::uint32_t kSmallBlockBytes = 0x1000;  // command 4
inline constexpr std::uint32_t kDataReportBytes = 8;

// L: the file's length, capped at 1 MiB.
std::uint32_t cappedLength(std::uint64_t fileLength);

// n: L rounded up to whole data reports.
std::uint32_t paddedLength(std::uint32_t length);

struct ErasePlan {
    std::uint32_t large = 0;  // 32 KB erases, from the start of the area
    std::uint32_t small = 0;  // 4 KB erases after them

    friend bool operator==(const ErasePlan&, const ErasePlan&) = default;
};

// Covers n bytes (n >= 1) with large erases and then small ones, so that the last
// 1 to 32768 bytes are always erased in 4 KB blocks. n = 0 erases nothing.
ErasePlan erasePlan(std::uint32_t paddedLength);

// The boundary an area of n bytes must start on: erases clear whole blocks from the start
// address on, so an area off their boundary would lose the flash before it.
std::uint32_t eraseAlignment(std::uint32_t paddedLength);

}  // namespace kavo3::download
