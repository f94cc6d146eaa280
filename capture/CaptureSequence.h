// The capture's exchanges with the unit, without any window: the FPGA SELECT check, the
// freeze, the frame information and the line loop. The capture window and the command line
// both run them; the window keeps its own steps (captions, drawing) between them.
#pragma once

#include <cstdint>
#include <functional>

#include "capture/Frame.h"
#include "capture/FrameInformation.h"
#include "link/DeviceLink.h"

namespace kavo3::capture {

inline constexpr std::uint8_t kFrameInformationCommand = 20;
inline constexpr std::uint8_t kLineDataCommand = 21;
inline constexpr std::uint8_t kFreezeCommand = 22;
// FPGA SELECT B2, the only setting under which the unit sends frames.
inline constexpr std::uint8_t kFpgaSelectB2 = 2;

// One Frame information exchange; whether the unit reports FPGA SELECT B2.
bool unitInCaptureSetting(link::DeviceLink& link);

// Freeze (1) or release (0) the unit's picture; the answer is read and not examined.
void sendFreeze(link::DeviceLink& link, std::int16_t freezeOn);

// One Frame information exchange and the sizes derived from it, accepted or not.
FrameSizes requestFrameInformation(link::DeviceLink& link);

struct LineLoopCallbacks {
    // After line y is complete in the frame. False when the caller has gone and nothing more
    // may be done for it; the loop then ends at once.
    std::function<bool(std::int32_t y)> lineDone;
    // Asked after each line; true ends the loop after that line.
    std::function<bool()> stopRequested;
};

enum class LinesEnd {
    Complete,   // every line arrived
    Stopped,    // the stop flag ended the loop; the lines not read stay black
    Abandoned,  // lineDone said its caller is gone
};

// One Line data request per line, its answers assembled into `frame`, which must be a black
// frame of the sizes (FrameWidth × FrameHeight).
LinesEnd readFrameLines(link::DeviceLink& link, const FrameSizes& sizes, Frame& frame,
                        const LineLoopCallbacks& callbacks);

struct CaptureResult {
    FrameSizes sizes;
    // Whether the frame passed the acceptance rule; without it no line was requested.
    bool accepted = false;
    LinesEnd end = LinesEnd::Complete;
};

struct CaptureCallbacks {
    // With the frame information answer, accepted or not, before any line is requested.
    std::function<void(const FrameSizes&)> frameInformation;
    LineLoopCallbacks lines;
};

// A whole capture for a caller without a window: Freeze 1, Frame information, the lines
// when the frame is accepted (into `frame`, made anew), then Freeze with `freezeAfter`, so
// that the unit is left as it was. `frame` keeps its content when the frame is rejected.
CaptureResult captureFrame(link::DeviceLink& link, std::int16_t freezeAfter, Frame& frame,
                           const CaptureCallbacks& callbacks);

}  // namespace kavo3::capture
