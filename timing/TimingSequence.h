// The timing window's exchanges with the unit, without any window: the opening with its ten
// block reads, one parameter change, the data load's window writes, Write end and the
// closing. The timing window and the command line both run them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "link/DeviceLink.h"
#include "timing/TimingParameters.h"
#include "timing/TimingState.h"

namespace kavo3::timing {

inline constexpr std::uint8_t kTimingAccessCommand = 0x0F;
inline constexpr std::uint8_t kBlockReadCommand = 0x10;
inline constexpr std::uint8_t kBlockWriteCommand = 0x11;
inline constexpr std::uint8_t kWriteEndCommand = 0x12;
inline constexpr int kTimingSettleTicks = 3;

using SettleWait = std::function<void(int ticks)>;
// The eight command bytes of one Block write.
using BlockWrite = std::array<std::uint8_t, 8>;

// Timing access begin, then the block read of every eight bytes that lie in the base's page,
// each followed by a settle wait. Bytes beyond the page become 0 and are not marked as read.
void openTiming(link::DeviceLink& link, TimingState& state, const SettleWait& settleWait);

// Block write of image bytes k..k+3 at the unit address of block byte k; returns its bytes.
BlockWrite writeTimingWindow(link::DeviceLink& link, const TimingState& state, std::size_t k);

// Write end, with bytes 1..7 of the Block write it completes, whatever was sent since.
void writeEnd(link::DeviceLink& link, const BlockWrite& blockWrite);

// A parameter set to `value`: when its bytes differ from the image they are stored, and its
// window is written and completed by Write end. Nothing is sent for an equal value, or for a
// parameter whose window was not read whole at the opening. True when something was sent.
bool changeParameter(link::DeviceLink& link, TimingState& state, const TimingParameter& parameter,
                     int value);

// The data load's writes: every window 0, 4, ..., 72 that was read whole, each followed by
// a settle wait; `progress` hears each window written. Returns the last Block write, which
// the caller completes with Write end once it has refreshed what it shows; nullopt when no
// window could be written.
std::optional<BlockWrite> writeLoadedWindows(
    link::DeviceLink& link, const TimingState& state, const SettleWait& settleWait,
    const std::function<void(std::size_t window)>& progress = {});

// Timing access end.
void closeTiming(link::DeviceLink& link);

}  // namespace kavo3::timing
