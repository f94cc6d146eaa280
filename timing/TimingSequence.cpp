#include "timing/TimingSequence.h"

#include <algorithm>

namespace kavo3::timing {

void openTiming(link::DeviceLink& link, TimingState& state, const SettleWait& settleWait) {
    auto& cmd = link.CommandBytes;
    auto& image = state.TimingRegisters;

    cmd[0] = kTimingAccessCommand;
    cmd[1] = 0x01;
    link.Exchange();
    state.TimingBaseLow = link.ReadBuffer[1];
    state.TimingBaseHigh = link.ReadBuffer[2];
    state.readFromUnit.fill(false);

    for (std::size_t i = 0; i < kTimingBlockSize; i += kTimingReadStep) {
        if (!state.inPage(i, kTimingReadStep)) {
            // Beyond the page the block cannot be addressed; nothing of it is known.
            std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(i), kTimingReadStep, 0);
            continue;
        }
        cmd[0] = kBlockReadCommand;
        cmd[1] = 0x00;
        cmd[2] = state.addressLow(i);
        cmd[3] = state.TimingBaseHigh;
        link.Exchange();
        for (std::size_t j = 0; j < kTimingReadStep; ++j) {
            image[i + j] = link.ReadBuffer[1 + j];
            state.readFromUnit[i + j] = true;
        }
        settleWait(kTimingSettleTicks);
    }
}

BlockWrite writeTimingWindow(link::DeviceLink& link, const TimingState& state, std::size_t k) {
    const auto& image = state.TimingRegisters;
    const BlockWrite bytes = {kBlockWriteCommand,   0x00,        state.addressLow(k),
                              state.TimingBaseHigh, image[k],    image[k + 1],
                              image[k + 2],         image[k + 3]};
    link.CommandBytes = bytes;
    link.Exchange();
    return bytes;
}

void writeEnd(link::DeviceLink& link, const BlockWrite& blockWrite) {
    // Another window's exchange during a settle wait may have changed the shared bytes.
    link.CommandBytes = blockWrite;
    link.CommandBytes[0] = kWriteEndCommand;
    link.Exchange();
}

bool changeParameter(link::DeviceLink& link, TimingState& state, const TimingParameter& parameter,
                     int value) {
    if (!state.windowRead(parameter.lowByte)) return false;
    auto& image = state.TimingRegisters;
    const auto low = static_cast<std::uint8_t>(value % 256);
    const auto high = static_cast<std::uint8_t>((value / 256) % 256);
    const bool lowDiffers = image[parameter.lowByte] != low;
    const bool highDiffers =
        parameter.wide() && image[static_cast<std::size_t>(parameter.highByte)] != high;
    if (!lowDiffers && !highDiffers) return false;

    image[parameter.lowByte] = low;
    if (parameter.wide()) image[static_cast<std::size_t>(parameter.highByte)] = high;
    writeEnd(link, writeTimingWindow(link, state, parameter.lowByte));
    return true;
}

std::optional<BlockWrite> writeLoadedWindows(
    link::DeviceLink& link, const TimingState& state, const SettleWait& settleWait,
    const std::function<void(std::size_t window)>& progress) {
    std::optional<BlockWrite> last;
    for (std::size_t i = 0; i < kTimingLoadWindows * kTimingWriteStep; i += kTimingWriteStep) {
        // Bytes the unit did not give are not known, so they are not sent back.
        if (!state.windowRead(i)) continue;
        last = writeTimingWindow(link, state, i);
        if (progress) progress(i);
        settleWait(kTimingSettleTicks);
    }
    return last;
}

void closeTiming(link::DeviceLink& link) {
    link.CommandBytes[0] = kTimingAccessCommand;
    link.CommandBytes[1] = 0x00;
    link.Exchange();
}

}  // namespace kavo3::timing
