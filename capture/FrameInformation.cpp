#include "capture/FrameInformation.h"

namespace kavo3::capture {

namespace {
// The sizes were once computed in signed 16-bit arithmetic; anything past it is nonsense.
constexpr std::int32_t kInt16Max = 32767;
}  // namespace

bool FrameSizes::accepted() const {
    return inputPresent && !outOfRange && LineStride > 100 && LineStride < 2048 &&
           FrameHeight > 100 && FrameHeight < 1300;
}

FrameSizes frameSizes(const link::protocol::FrameInformation& answer) {
    FrameSizes s;
    s.ActiveWidth = answer.horizontal + 7;
    s.FrameWidth = (s.ActiveWidth + 3) / 4 * 4;
    s.LineStride = (s.ActiveWidth + 63) / 64 * 64;
    s.FrameHeight = answer.vertical + 10;
    s.inputPresent = answer.inputPresent;
    s.outOfRange = s.ActiveWidth + 63 > kInt16Max || s.FrameHeight > kInt16Max;
    return s;
}

}  // namespace kavo3::capture
