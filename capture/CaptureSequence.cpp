#include "capture/CaptureSequence.h"

#include <span>

#include "capture/LineAssembler.h"

namespace kavo3::capture {

bool unitInCaptureSetting(link::Conversation& talk) {
    const bool answered = talk.exchange(talk.following(kFrameInformationCommand));
    return answered && talk.link().ReadBuffer[5] == kFpgaSelectB2;
}

void sendFreeze(link::Conversation& talk, std::int16_t freezeOn) {
    talk.exchange(talk.following(kFreezeCommand, static_cast<std::uint8_t>(freezeOn)));
}

FrameSizes requestFrameInformation(link::Conversation& talk) {
    talk.exchange(talk.following(kFrameInformationCommand));
    return decodeFrameInformation(talk.link().ReadBuffer);
}

LinesEnd readFrameLines(link::Conversation& talk, const FrameSizes& sizes, Frame& frame,
                        const LineLoopCallbacks& callbacks) {
    const int reports = reportsPerLine(sizes.LineStride);
    const auto& readBuffer = talk.link().ReadBuffer;
    for (std::int32_t y = 0; y < sizes.FrameHeight; ++y) {
        talk.send(talk.following(kLineDataCommand, static_cast<std::uint8_t>(reports)));

        LineAssembler line(frame.row(y), sizes.ActiveWidth);
        for (int r = 0; r < reports; ++r) {
            talk.read();
            line.add(std::span<const std::uint8_t>(readBuffer).subspan(1, 64));
        }
        line.finish();

        if (callbacks.lineDone && !callbacks.lineDone(y)) return LinesEnd::Abandoned;
        // Lines of another attachment would only join two units' pictures in one frame.
        if (!talk.live()) return LinesEnd::UnitLost;
        if (callbacks.stopRequested && callbacks.stopRequested()) {
            return y + 1 < sizes.FrameHeight ? LinesEnd::Stopped : LinesEnd::Complete;
        }
    }
    return LinesEnd::Complete;
}

CaptureResult captureFrame(link::Conversation& talk, std::int16_t freezeAfter, Frame& frame,
                           const CaptureCallbacks& callbacks) {
    // The picture must stand still while it is read out.
    sendFreeze(talk, 1);
    CaptureResult result;
    result.sizes = requestFrameInformation(talk);
    result.accepted = result.sizes.accepted();
    if (callbacks.frameInformation) callbacks.frameInformation(result.sizes);
    if (result.accepted) {
        frame = Frame(result.sizes.FrameWidth, result.sizes.FrameHeight);
        result.end = readFrameLines(talk, result.sizes, frame, callbacks.lines);
    }
    result.whole = talk.whole();
    if (result.end != LinesEnd::Abandoned && callbacks.beforeRestore)
        callbacks.beforeRestore(result);
    sendFreeze(talk, freezeAfter);
    return result;
}

}  // namespace kavo3::capture
