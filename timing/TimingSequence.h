// The timing window's exchanges with the unit, without any window: the opening with its ten
// block reads, one parameter change, the data load's window writes, Write end and the
// closing. The timing window and the command line both run them, each on the attachment it
// began with: a byte counts as read only when that attachment answered with it, and a write
// carries only bytes read from the attachment it goes to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "link/Conversation.h"
#include "timing/TimingParameters.h"
#include "timing/TimingState.h"

namespace kavo3::timing {

inline constexpr int kTimingSettleTicks = 3;

using SettleWait = std::function<void(int ticks)>;
// The eight command bytes of one Block write.
using BlockWrite = link::Command;

// Timing access begin, then the block read of every eight bytes that lie in the base's page,
// each followed by a settle wait. A byte the attachment did not answer with, or one beyond
// the page, becomes 0 and is not marked as read; without an answer to Timing access begin
// nothing is. True when every read was answered.
bool openTiming(link::Conversation& talk, TimingState& state, const SettleWait& settleWait);

// Whether the image holds bytes read from the attachment `talk` is on, which is still open.
bool imageFrom(const link::Conversation& talk, const TimingState& state);

// Block write of image bytes k..k+3 at the unit address of block byte k; returns its bytes.
// Nothing is sent (nullopt) for a window not read whole from this attachment.
std::optional<BlockWrite> writeTimingWindow(link::Conversation& talk, const TimingState& state,
                                            std::size_t k);

// Write end, with bytes 1..7 of the Block write it completes, whatever was sent since.
void writeEnd(link::Conversation& talk, const BlockWrite& blockWrite);

// A parameter set to `value`: when its bytes differ from the image they are stored, and its
// window is written and completed by Write end. Nothing is sent for an equal value, or for a
// parameter whose window was not read whole from this attachment. True when something was sent.
bool changeParameter(link::Conversation& talk, TimingState& state, const TimingParameter& parameter,
                     int value);

// The data load's writes: every window 0, 4, ..., 72 that was read whole, each followed by
// a settle wait; `progress` hears each window written; `stopRequested`, asked before each
// window, ends the writes there. Returns the last Block write, which the caller completes with
// Write end once it has refreshed what it shows; nullopt when no window could be written.
std::optional<BlockWrite> writeLoadedWindows(
    link::Conversation& talk, const TimingState& state, const SettleWait& settleWait,
    const std::function<void(std::size_t window)>& progress = {},
    const std::function<bool()>& stopRequested = {});

// Timing access end, to the attachment the timing access began on; true when it was taken and
// answered there.
bool closeTiming(link::Conversation& talk);

}  // namespace kavo3::timing
