// Files the bytes of one line, as the unit sends them, into a row of the frame.
// The unit sends red, green, blue per pixel, LineStride pixels spread over several reports;
// the frame stores blue, green, red and only FrameWidth pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kavo3::capture {

class LineAssembler {
  public:
    // `row` holds FrameWidth × 3 bytes; pixels from `activeWidth` on are padding.
    LineAssembler(std::span<std::uint8_t> row, std::int32_t activeWidth);

    // The next bytes of the line; the count runs on across calls, so a pixel may straddle two.
    void add(std::span<const std::uint8_t> bytes);

    // Blackens the padding pixels, whatever the unit sent for them.
    void finish();

  private:
    std::span<std::uint8_t> row_;
    std::size_t activeBytes_;
    std::size_t next_ = 0;  // byte number n of the line
};

}  // namespace kavo3::capture
