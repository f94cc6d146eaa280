#include "capture/CaptureSequence.h"

#include <span>

#include "capture/LineAssembler.h"

namespace kavo3::capture {

bool unitInCaptureSetting(link::DeviceLink& link) {
    link.CommandBytes[0] = kFrameInformationCommand;
    link.Exchange();
    return link.ReadBuffer[5] == kFpgaSelectB2;
}

void sendFreeze(link::DeviceLink& link, std::int16_t freezeOn) {
    link.CommandBytes[0] = kFreezeCommand;
    link.CommandBytes[1] = static_cast<std::uint8_t>(freezeOn);
    link.Exchange();
}

FrameSizes requestFrameInformation(link::DeviceLink& link) {
    link.CommandBytes[0] = kFrameInformationCommand;
    link.Exchange();
    return decodeFrameInformation(link.ReadBuffer);
}

LinesEnd readFrameLines(link::DeviceLink& link, const FrameSizes& sizes, Frame& frame,
                        const LineLoopCallbacks& callbacks) {
    const int reports = reportsPerLine(sizes.LineStride);
    for (std::int32_t y = 0; y < sizes.FrameHeight; ++y) {
        link.CommandBytes[0] = kLineDataCommand;
        link.CommandBytes[1] = static_cast<std::uint8_t>(reports);
        link.WriteCommand();

        LineAssembler line(frame.row(y), sizes.ActiveWidth);
        for (int r = 0; r < reports; ++r) {
            link.ReadReport();
            line.add(std::span<const std::uint8_t>(link.ReadBuffer).subspan(1, 64));
        }
        line.finish();

        if (callbacks.lineDone && !callbacks.lineDone(y)) return LinesEnd::Abandoned;
        if (callbacks.stopRequested && callbacks.stopRequested()) {
            return y + 1 < sizes.FrameHeight ? LinesEnd::Stopped : LinesEnd::Complete;
        }
    }
    return LinesEnd::Complete;
}

CaptureResult captureFrame(link::DeviceLink& link, std::int16_t freezeAfter, Frame& frame,
                           const CaptureCallbacks& callbacks) {
    // The picture must stand still while it is read out.
    sendFreeze(link, 1);
    CaptureResult result;
    result.sizes = requestFrameInformation(link);
    result.accepted = result.sizes.accepted();
    if (callbacks.frameInformation) callbacks.frameInformation(result.sizes);
    if (result.accepted) {
        frame = Frame(result.sizes.FrameWidth, result.sizes.FrameHeight);
        result.end = readFrameLines(link, result.sizes, frame, callbacks.lines);
    }
    sendFreeze(link, freezeAfter);
    return result;
}

}  // namespace kavo3::capture
