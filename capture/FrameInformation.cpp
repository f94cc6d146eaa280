#include "capture/FrameInformation.h"

#include <algorithm>
#include <array>

namespace kavo3::capture {

namespace {
// The sizes were once computed in signed 16-bit arithmetic; anything past it is nonsense.
constexpr std::int32_t kInt16Max = 32767;
}  // namespace

bool FrameSizes::accepted() const {
    return inputPresent && !outOfRange && LineStride > 100 && LineStride < 2048 &&
           FrameHeight > 100 && FrameHeight < 1300;
}

FrameSizes decodeFrameInformation(std::span<const std::uint8_t> readBuffer) {
    std::array<std::uint8_t, 7> b{};
    std::copy_n(readBuffer.begin(), std::min(readBuffer.size(), b.size()), b.begin());
    FrameSizes s;
    const std::int32_t horizontal = b[1] | (b[2] << 8);
    const std::int32_t vertical = b[3] | (b[4] << 8);
    s.ActiveWidth = horizontal + 7;
    s.FrameWidth = (s.ActiveWidth + 3) / 4 * 4;
    s.LineStride = (s.ActiveWidth + 63) / 64 * 64;
    s.FrameHeight = vertical + 10;
    s.inputPresent = b[6] != 0;
    s.outOfRange = s.ActiveWidth + 63 > kInt16Max || s.FrameHeight > kInt16Max;
    return s;
}

}  // namespace kavo3::capture
