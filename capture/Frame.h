// One captured frame: its own sizes and its pixels, so that the two always belong together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kavo3::capture {

struct Frame {
    std::int32_t FrameWidth = 0;
    std::int32_t FrameHeight = 0;
    // FrameWidth × FrameHeight pixels, top line first, each pixel blue, green, red.
    std::vector<std::uint8_t> PixelBuffer;

    Frame() = default;
    // A black frame of the given size.
    Frame(std::int32_t width, std::int32_t height)
        : FrameWidth(width),
          FrameHeight(height),
          PixelBuffer(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0) {}

    bool empty() const { return PixelBuffer.empty(); }
    std::size_t rowBytes() const { return static_cast<std::size_t>(FrameWidth) * 3; }
    std::span<std::uint8_t> row(std::int32_t y) {
        return std::span(PixelBuffer).subspan(static_cast<std::size_t>(y) * rowBytes(), rowBytes());
    }
    std::span<const std::uint8_t> row(std::int32_t y) const {
        return std::span(PixelBuffer).subspan(static_cast<std::size_t>(y) * rowBytes(), rowBytes());
    }
};

}  // namespace kavo3::capture
