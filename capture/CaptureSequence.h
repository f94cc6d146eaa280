// The capture's exchanges with the unit, without any window: the FPGA SELECT check, the
// freeze, the frame information and the line loop. The capture window and the command line
// both run them, each on the attachment the capture began with.
#pragma once

#include <cstdint>
#include <functional>

#include "capture/Frame.h"
#include "capture/FrameInformation.h"
#include "link/Conversation.h"

namespace kavo3::capture {

// One Frame information exchange; whether the unit answered that it is at FPGA SELECT B2.
bool unitInCaptureSetting(link::Conversation& talk);

// Freeze (1) or release (0) the unit's picture; the answer is read and not examined. True when
// the report was taken.
bool sendFreeze(link::Conversation& talk, std::int16_t freezeOn);

// One Frame information exchange and the sizes derived from it, accepted or not. An
// unanswered request reads as zeros, which the input flag rejects.
FrameSizes requestFrameInformation(link::Conversation& talk);

struct LineLoopCallbacks {
    // After line y is complete in the frame. False when the caller has gone and nothing more
    // may be done for it; the loop then ends at once.
    std::function<bool(std::int32_t y)> lineDone;
    // Asked after each line; true ends the loop after that line.
    std::function<bool()> stopRequested;
    // Asked between the reports of a line (a signal's stop): true ends the loop there.
    std::function<bool()> stopNow;
};

enum class LinesEnd {
    Complete,   // every line arrived
    Stopped,    // the stop flag ended the loop; the lines not read stay black
    Abandoned,  // lineDone said its caller is gone
    UnitLost,   // the unit left or came back: the lines read are not one frame of one unit
    Silent,     // the unit gave no answer to a report of a line: the frame is not whole
};

// One Line data request per line, its answers assembled into `frame`, which must be a black
// frame of the sizes (FrameWidth × FrameHeight).
LinesEnd readFrameLines(link::Conversation& talk, const FrameSizes& sizes, Frame& frame,
                        const LineLoopCallbacks& callbacks);

struct CaptureResult {
    FrameSizes sizes;
    // Whether the frame passed the acceptance rule; without it no line was requested.
    bool accepted = false;
    LinesEnd end = LinesEnd::Complete;
    // Every report was taken and every read answered by the attachment the capture began
    // with: the frame is what that unit sent.
    bool whole = false;
};

struct CaptureCallbacks {
    // With the frame information answer, accepted or not, before any line is requested.
    std::function<void(const FrameSizes&)> frameInformation;
    LineLoopCallbacks lines;
    // Before the freeze state goes back, unless the line loop was abandoned.
    std::function<void(const CaptureResult&)> beforeRestore;
};

// A whole capture: Freeze 1, Frame information, the lines when the frame is accepted (into
// `frame`, made anew), then Freeze with `freezeAfter`, so that the unit is left as it was.
// `frame` keeps its content when the frame is rejected.
CaptureResult captureFrame(link::Conversation& talk, std::int16_t freezeAfter, Frame& frame,
                           const CaptureCallbacks& callbacks);

}  // namespace kavo3::capture
