#include "timing/TimingSequence.h"

#include <algorithm>

#include "link/Protocol.h"

namespace kavo3::timing {

namespace protocol = link::protocol;

bool openTiming(link::Conversation& talk, TimingState& state, const SettleWait& settleWait) {
    auto& image = state.TimingRegisters;

    state.readFromUnit.fill(false);
    state.readFrom = talk.attachment();
    // Noted before it goes out: from the moment the unit takes it, it owes a Timing access end.
    if (!talk.unit().empty()) talk.ledger().setTimingOpen(talk.unit(), true);
    // Without an answer the base address is not known, so nothing read at it is either.
    const link::Reply begun = talk.exchange(talk.following(protocol::kTimingAccess, protocol::kBegin));
    const bool baseKnown = begun.answered;
    const protocol::TimingBase base = protocol::timingBase(begun);
    state.TimingBaseLow = base.low;
    state.TimingBaseHigh = base.high;

    for (std::size_t i = 0; i < kTimingBlockSize; i += kTimingReadStep) {
        if (!state.inPage(i, kTimingReadStep)) {
            // Beyond the page the block cannot be addressed; nothing of it is known.
            std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(i), kTimingReadStep, 0);
            continue;
        }
        link::Command read = talk.following(protocol::kBlockRead, 0x00);
        read[2] = state.addressLow(i);
        read[3] = state.TimingBaseHigh;
        const link::Reply block = talk.exchange(read);
        const bool answered = block.answered && baseKnown;
        for (std::size_t j = 0; j < kTimingReadStep; ++j) {
            image[i + j] = protocol::blockReadByte(block, j);
            state.readFromUnit[i + j] = answered;
        }
        settleWait(kTimingSettleTicks);
    }
    return talk.whole();
}

bool imageFrom(const link::Conversation& talk, const TimingState& state) {
    return talk.live() && state.readFrom == talk.attachment();
}

std::optional<BlockWrite> writeTimingWindow(link::Conversation& talk, const TimingState& state,
                                            std::size_t k) {
    if (!imageFrom(talk, state) || !state.windowRead(k)) return std::nullopt;
    const auto& image = state.TimingRegisters;
    const BlockWrite bytes = protocol::blockWrite(
        state.addressLow(k), state.TimingBaseHigh, {image[k], image[k + 1], image[k + 2], image[k + 3]});
    const BlockWrite end = protocol::writeEnd(bytes);
    talk.ledger().setWriteEndOwed(talk.unit(), &end);
    talk.exchange(bytes);
    return bytes;
}

void writeEnd(link::Conversation& talk, const BlockWrite& blockWrite) {
    // Another window's exchange during a settle wait may have changed the shared bytes.
    const bool taken = talk.sendClosing(protocol::writeEnd(blockWrite));
    talk.read();
    if (taken) talk.ledger().setWriteEndOwed(talk.unit(), nullptr);
}

bool changeParameter(link::Conversation& talk, TimingState& state, const TimingParameter& parameter,
                     int value) {
    if (!imageFrom(talk, state) || !state.windowRead(parameter.lowByte)) return false;
    auto& image = state.TimingRegisters;
    const auto low = static_cast<std::uint8_t>(value % 256);
    const auto high = static_cast<std::uint8_t>((value / 256) % 256);
    const bool lowDiffers = image[parameter.lowByte] != low;
    const bool highDiffers =
        parameter.wide() && image[static_cast<std::size_t>(parameter.highByte)] != high;
    if (!lowDiffers && !highDiffers) return false;

    image[parameter.lowByte] = low;
    if (parameter.wide()) image[static_cast<std::size_t>(parameter.highByte)] = high;
    if (const auto written = writeTimingWindow(talk, state, parameter.lowByte))
        writeEnd(talk, *written);
    return true;
}

std::optional<BlockWrite> writeLoadedWindows(
    link::Conversation& talk, const TimingState& state, const SettleWait& settleWait,
    const std::function<void(std::size_t window)>& progress,
    const std::function<bool()>& stopRequested) {
    std::optional<BlockWrite> last;
    for (std::size_t i = 0; i < kTimingLoadWindows * kTimingWriteStep; i += kTimingWriteStep) {
        if (stopRequested && stopRequested()) break;
        // Bytes the unit did not give are not known, so they are not sent back; nor is
        // anything once the unit has left.
        const auto written = writeTimingWindow(talk, state, i);
        if (!written) continue;
        last = written;
        if (progress) progress(i);
        settleWait(kTimingSettleTicks);
    }
    return last;
}

bool closeTiming(link::Conversation& talk) {
    const bool taken = talk.sendClosing(talk.following(protocol::kTimingAccess, protocol::kEnd));
    const bool answered = talk.read().answered;
    if (taken && !talk.unit().empty()) talk.ledger().setTimingOpen(talk.unit(), false);
    return taken && answered;
}

}  // namespace kavo3::timing
