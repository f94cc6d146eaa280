#include <gtest/gtest.h>

#include <vector>

#include "capture/FrameInformation.h"

namespace kavo3::capture {
namespace {

// The input report as the unit sends it: ID byte, then the six answer bytes, then zeros.
std::vector<std::uint8_t> answer(int horizontal, int vertical, int fpga = 2, int input = 1) {
    std::vector<std::uint8_t> b(65, 0);
    b[1] = horizontal & 0xFF;
    b[2] = (horizontal >> 8) & 0xFF;
    b[3] = vertical & 0xFF;
    b[4] = (vertical >> 8) & 0xFF;
    b[5] = static_cast<std::uint8_t>(fpga);
    b[6] = static_cast<std::uint8_t>(input);
    return b;
}

// The sizes the unit's answer, as the link hands it over, gives.
FrameSizes decodeFrameInformation(const std::vector<std::uint8_t>& report) {
    link::Reply reply{true, 1, {}};
    for (std::size_t n = 1; n < report.size() && n <= reply.bytes.size(); ++n) reply.bytes[n - 1] = report[n];
    return frameSizes(link::protocol::frameInformation(reply));
}

FrameSizes withActiveWidth(int activeWidth, int frameHeight = 480) {
    return decodeFrameInformation(answer(activeWidth - 7, frameHeight - 10));
}

TEST(FrameInformation, DerivesTheSizesFromTheAnswer) {
    const FrameSizes s = withActiveWidth(720);
    EXPECT_EQ(s.ActiveWidth, 720);
    EXPECT_EQ(s.FrameWidth, 720);
    EXPECT_EQ(s.LineStride, 768);
    EXPECT_EQ(s.FrameHeight, 480);
    EXPECT_EQ(reportsPerLine(s.LineStride), 36);
    EXPECT_TRUE(s.accepted());

    const FrameSizes rounded = withActiveWidth(718);
    EXPECT_EQ(rounded.ActiveWidth, 718);
    EXPECT_EQ(rounded.FrameWidth, 720);
    EXPECT_EQ(rounded.LineStride, 768);
    EXPECT_TRUE(rounded.accepted());

    // Both bytes of each value count, low byte first.
    const FrameSizes wide = decodeFrameInformation(answer(0x0779, 0x0426));
    EXPECT_EQ(wide.ActiveWidth, 1920);
    EXPECT_EQ(wide.FrameHeight, 1072);
    EXPECT_EQ(reportsPerLine(wide.LineStride), 90);
}

TEST(FrameInformation, LineStrideLimits) {
    EXPECT_EQ(withActiveWidth(64).LineStride, 64);
    EXPECT_FALSE(withActiveWidth(64).accepted());
    EXPECT_FALSE(withActiveWidth(8).accepted());

    const FrameSizes narrowest = withActiveWidth(65);
    EXPECT_EQ(narrowest.LineStride, 128);
    EXPECT_EQ(narrowest.FrameWidth, 68);
    EXPECT_TRUE(narrowest.accepted());

    const FrameSizes widest = withActiveWidth(1984);
    EXPECT_EQ(widest.LineStride, 1984);
    EXPECT_EQ(reportsPerLine(widest.LineStride), 93);
    EXPECT_TRUE(widest.accepted());

    EXPECT_EQ(withActiveWidth(1985).LineStride, 2048);
    EXPECT_FALSE(withActiveWidth(1985).accepted());
}

TEST(FrameInformation, FrameHeightLimits) {
    EXPECT_FALSE(withActiveWidth(720, 100).accepted());
    EXPECT_TRUE(withActiveWidth(720, 101).accepted());
    EXPECT_TRUE(withActiveWidth(720, 1299).accepted());
    EXPECT_FALSE(withActiveWidth(720, 1300).accepted());
}

TEST(FrameInformation, InputFlagAndUnansweredRequest) {
    EXPECT_FALSE(decodeFrameInformation(answer(713, 470, 2, 0)).accepted());
    // Any non-zero flag means a picture is there.
    EXPECT_TRUE(decodeFrameInformation(answer(713, 470, 2, 0x80)).accepted());
    // The FPGA SELECT byte only matters when the window loads.
    EXPECT_TRUE(decodeFrameInformation(answer(713, 470, 1, 1)).accepted());

    const FrameSizes none = decodeFrameInformation(std::vector<std::uint8_t>(65, 0));
    EXPECT_FALSE(none.accepted());
    EXPECT_EQ(none.ActiveWidth, 7);
    EXPECT_EQ(none.FrameHeight, 10);

    EXPECT_FALSE(decodeFrameInformation(std::vector<std::uint8_t>{0, 0xD9, 0x02}).accepted());
}

TEST(FrameInformation, ValuesBeyondSixteenBitsAreRejected) {
    // Values whose derived sizes leave signed 16-bit range, with an otherwise good answer.
    for (const int horizontal : {32760, 32767, 32768, 0xFFFF}) {
        const FrameSizes s = decodeFrameInformation(answer(horizontal, 470));
        EXPECT_TRUE(s.outOfRange) << horizontal;
        EXPECT_FALSE(s.accepted()) << horizontal;
        EXPECT_GT(s.LineStride, 0) << horizontal;  // no wrap into a small positive stride
    }
    for (const int vertical : {32758, 0xFFFF}) {
        const FrameSizes s = decodeFrameInformation(answer(713, vertical));
        EXPECT_TRUE(s.outOfRange) << vertical;
        EXPECT_FALSE(s.accepted()) << vertical;
    }
    // The largest values that still fit.
    EXPECT_FALSE(decodeFrameInformation(answer(32697, 32757)).outOfRange);
    EXPECT_TRUE(decodeFrameInformation(answer(32698, 470)).outOfRange);
}

}  // namespace
}  // namespace kavo3::capture
