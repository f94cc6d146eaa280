#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "capture/Frame.h"
#include "capture/LineAssembler.h"

namespace kavo3::capture {
namespace {

// One line as the unit sends it: pixel x is (red, green, blue) = (x, x + 1, x + 2) mod 256.
std::vector<std::uint8_t> unitLine(int lineStride) {
    std::vector<std::uint8_t> bytes;
    for (int x = 0; x < lineStride; ++x)
        for (int c = 0; c < 3; ++c) bytes.push_back(static_cast<std::uint8_t>(x + c));
    return bytes;
}

// Feeds `bytes` in reports of 64, as the window does.
void feedInReports(LineAssembler& line, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 64)
        line.add(std::span(bytes).subspan(at, 64));
}

TEST(LineAssembler, StoresBlueGreenRedAndDropsPixelsPastTheFrame) {
    Frame frame(720, 2);
    const auto bytes = unitLine(768);
    LineAssembler line(frame.row(1), 720);
    feedInReports(line, bytes);
    line.finish();

    for (int x = 0; x < 720; ++x) {
        const auto at = static_cast<std::size_t>((720 + x) * 3);
        ASSERT_EQ(frame.PixelBuffer[at], static_cast<std::uint8_t>(x + 2)) << x;      // blue
        ASSERT_EQ(frame.PixelBuffer[at + 1], static_cast<std::uint8_t>(x + 1)) << x;  // green
        ASSERT_EQ(frame.PixelBuffer[at + 2], static_cast<std::uint8_t>(x)) << x;      // red
    }
    // Line 0 untouched: nothing spilled over from line 1's extra pixels either way.
    for (std::size_t i = 0; i < frame.rowBytes(); ++i) ASSERT_EQ(frame.PixelBuffer[i], 0);
    EXPECT_EQ(frame.PixelBuffer.size(), 720u * 2 * 3);
}

TEST(LineAssembler, PixelStraddlingTwoReports) {
    Frame frame(68, 1);
    std::array<std::uint8_t, 64> first{};
    std::array<std::uint8_t, 64> second{};
    first[63] = 0xA1;  // byte 63: red of pixel 21
    second[0] = 0xB2;  // byte 64: green
    second[1] = 0xC3;  // byte 65: blue
    second[2] = 0x11;  // byte 66: red of pixel 22
    LineAssembler line(frame.row(0), 68);
    line.add(first);
    line.add(second);
    line.finish();
    EXPECT_EQ(frame.PixelBuffer[21 * 3 + 0], 0xC3);
    EXPECT_EQ(frame.PixelBuffer[21 * 3 + 1], 0xB2);
    EXPECT_EQ(frame.PixelBuffer[21 * 3 + 2], 0xA1);
    EXPECT_EQ(frame.PixelBuffer[22 * 3 + 2], 0x11);
}

TEST(LineAssembler, RoundingColumnsAreBlackWhateverTheUnitSent) {
    Frame frame(720, 1);
    std::vector<std::uint8_t> bytes(768 * 3, 0xFF);
    LineAssembler line(frame.row(0), 718);
    feedInReports(line, bytes);
    line.finish();
    for (std::size_t i = 0; i < 718 * 3; ++i) ASSERT_EQ(frame.PixelBuffer[i], 0xFF) << i;
    for (std::size_t i = 718 * 3; i < 720 * 3; ++i) EXPECT_EQ(frame.PixelBuffer[i], 0) << i;
}

TEST(LineAssembler, NarrowestAcceptedLine) {
    // ActiveWidth 65: FrameWidth 68, a stride of 128 pixels in six reports.
    Frame frame(68, 1);
    const auto bytes = unitLine(128);
    LineAssembler line(frame.row(0), 65);
    feedInReports(line, bytes);
    line.finish();
    EXPECT_EQ(frame.PixelBuffer[64 * 3 + 2], 64);
    for (std::size_t i = 65 * 3; i < 68 * 3; ++i) EXPECT_EQ(frame.PixelBuffer[i], 0) << i;
}

TEST(LineAssembler, AShortLineLeavesTheRestBlack) {
    // A unit that answered only one report of the line.
    Frame frame(720, 1);
    std::vector<std::uint8_t> bytes(64, 0x40);
    LineAssembler line(frame.row(0), 720);
    line.add(bytes);
    line.finish();
    EXPECT_EQ(frame.PixelBuffer[62], 0x40);  // pixel 20 complete
    EXPECT_EQ(frame.PixelBuffer[63], 0);     // pixel 21: only its red came
    EXPECT_EQ(frame.PixelBuffer[64], 0);
    EXPECT_EQ(frame.PixelBuffer[65], 0x40);
    EXPECT_EQ(frame.PixelBuffer[66], 0);
    EXPECT_EQ(frame.PixelBuffer[719 * 3 + 2], 0);
}

}  // namespace
}  // namespace kavo3::capture
