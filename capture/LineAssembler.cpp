#include "capture/LineAssembler.h"

#include <algorithm>

namespace kavo3::capture {

LineAssembler::LineAssembler(std::span<std::uint8_t> row, std::int32_t activeWidth)
    : row_(row),
      activeBytes_(std::min(row.size(), static_cast<std::size_t>(std::max(activeWidth, 0)) * 3)) {}

void LineAssembler::add(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) {
        const std::size_t n = next_++;
        if (n >= row_.size()) continue;  // a pixel past FrameWidth
        const std::size_t pixel = n / 3 * 3;
        row_[pixel + 2 - n % 3] = b;
    }
}

void LineAssembler::finish() {
    std::fill(row_.begin() + static_cast<std::ptrdiff_t>(activeBytes_), row_.end(), 0);
}

}  // namespace kavo3::capture
