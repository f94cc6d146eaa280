// The run's copy of the unit's timing registers. It outlives the timing window, so that
// closing and reopening the window keeps what was loaded into bytes 80..256.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "link/DeviceLink.h"

namespace kavo3::timing {

inline constexpr std::size_t kTimingImageSize = 257;  // what a data file holds
inline constexpr std::size_t kTimingBlockSize = 80;   // what the unit's block holds
inline constexpr std::size_t kTimingReadStep = 8;     // bytes per block read
inline constexpr std::size_t kTimingWriteStep = 4;    // bytes per block write
// A data load writes the windows 0, 4, ..., 72, that is bytes 0..75.
inline constexpr std::size_t kTimingLoadWindows = 19;

using TimingImage = std::array<std::uint8_t, kTimingImageSize>;

struct TimingState {
    TimingImage TimingRegisters{};
    // Unit address of block byte 0, as the unit gave it at the latest opening.
    std::uint8_t TimingBaseLow = 0;
    std::uint8_t TimingBaseHigh = 0;
    // Which block bytes the unit gave at the latest opening. A byte it could not give is
    // not known, so it is never written back.
    std::array<bool, kTimingBlockSize> readFromUnit{};
    // The attachment those bytes came from: nothing of them may go to another.
    link::Attachment readFrom = link::kNoAttachment;

    // Whether block bytes k..k+count-1 lie in the base's 256-address page. The address
    // high byte is never carried into, so bytes beyond the page are neither read nor written.
    constexpr bool inPage(std::size_t k, std::size_t count) const {
        return count > 0 && TimingBaseLow + k + count - 1 <= 0xFF;
    }
    // Whether the four-byte window at block byte k was read whole at the latest opening.
    constexpr bool windowRead(std::size_t k) const {
        return k + kTimingWriteStep <= kTimingBlockSize &&
               std::all_of(readFromUnit.begin() + static_cast<std::ptrdiff_t>(k),
                           readFromUnit.begin() + static_cast<std::ptrdiff_t>(k + kTimingWriteStep),
                           [](bool read) { return read; });
    }
    // Unit address low byte of block byte k; only meaningful when inPage(k, 1).
    constexpr std::uint8_t addressLow(std::size_t k) const {
        return static_cast<std::uint8_t>(TimingBaseLow + k);
    }
};

}  // namespace kavo3::timing
