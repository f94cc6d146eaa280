// The unit's answer to Frame information and the frame sizes derived from it.
#pragma once

#include <cstdint>

#include "link/Protocol.h"

namespace kavo3::capture {

struct FrameSizes {
    std::int32_t ActiveWidth = 0;  // meaningful pixels per line
    std::int32_t FrameWidth = 0;   // ActiveWidth rounded up to a multiple of 4
    std::int32_t LineStride = 0;   // pixels the unit sends per line, a multiple of 64
    std::int32_t FrameHeight = 0;  // lines
    bool inputPresent = false;     // the unit's input flag
    // The sizes left 16-bit range; such an answer is never accepted.
    bool outOfRange = false;

    // Whether a frame of these sizes can be read and shown.
    bool accepted() const;
};

// The sizes a Frame information answer gives.
FrameSizes frameSizes(const link::protocol::FrameInformation& answer);

// Number of input reports that carry one line of `lineStride` pixels.
constexpr int reportsPerLine(std::int32_t lineStride) { return lineStride / 64 * 3; }

}  // namespace kavo3::capture
