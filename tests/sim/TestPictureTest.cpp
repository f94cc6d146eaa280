#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "sim/TestPicture.h"

namespace kavo3::sim {
namespace {

std::vector<Rgb> row(const TestPicture& p, int y) {
    std::vector<Rgb> out;
    for (int x = 0; x < p.width(); ++x) out.push_back(p.pixel(x, y));
    return out;
}

TEST(TestPicture, EdgesCarryMarkersThatAColourSwapWouldChange) {
    for (Pattern pattern : {Pattern::Composite, Pattern::Bars, Pattern::Ramps, Pattern::Grid}) {
        TestPicture p(720, 480);
        p.setPattern(pattern);
        p.advanceFrame();
        for (int y : {0, 1, 240, 479}) {
            EXPECT_EQ(p.pixel(0, y), (Rgb{255, 0, 0}));
            EXPECT_EQ(p.pixel(719, y), (Rgb{0, 0, 255}));
        }
        for (int x : {1, 100, 718}) {
            EXPECT_EQ(p.pixel(x, 0), (Rgb{255, 255, 0}));
            EXPECT_EQ(p.pixel(x, 479), (Rgb{0, 255, 255}));
        }
    }
}

TEST(TestPicture, EveryLineDiffersSoAShiftedOrRepeatedLineShows) {
    for (Pattern pattern : {Pattern::Composite, Pattern::Bars, Pattern::Ramps, Pattern::Grid}) {
        TestPicture p(64, 1299);
        p.setPattern(pattern);
        std::set<std::vector<std::uint8_t>> lines;
        std::vector<std::uint8_t> line(64 * 3);
        for (int y = 0; y < p.height(); ++y) {
            p.fillLine(y, line);
            lines.insert(line);
        }
        EXPECT_EQ(lines.size(), 1299u);
    }
}

TEST(TestPicture, NeighbouringColumnsDifferInTheGradientsSoADroppedColumnShows) {
    TestPicture p(1920, 1080);
    const int y = 1080 * 5 / 8;  // inside the gradient band of the composite picture
    for (int x = 40; x + 1 < 1919; ++x) EXPECT_NE(p.pixel(x, y), p.pixel(x + 1, y)) << x;
}

TEST(TestPicture, ScrollMovesTheContentButNotTheMarkers) {
    TestPicture p(720, 480);
    const auto before = row(p, 300);
    p.advanceFrame();
    const auto after = row(p, 300);
    EXPECT_NE(before, after);
    EXPECT_EQ(before.front(), after.front());
    EXPECT_EQ(before.back(), after.back());
    // The line code near the left edge is the same too.
    for (int x = 1; x <= 32; ++x) EXPECT_EQ(before[x], after[x]) << x;
}

TEST(TestPicture, BeyondThePictureComesFillerThatIsNeverBlack) {
    TestPicture p(718, 480);
    for (int x = 718; x < 768; ++x) {
        const Rgb f = p.pixel(x, 10);
        EXPECT_NE(f, (Rgb{0, 0, 0}));
        EXPECT_EQ(f, TestPicture::filler(x, 10));
    }
    EXPECT_NE(p.pixel(5, 480), (Rgb{0, 0, 0}));
}

TEST(TestPicture, NoInputMeansABlackPicture) {
    TestPicture p(720, 480);
    p.setBlack(true);
    EXPECT_EQ(p.pixel(0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(p.pixel(719, 300), (Rgb{0, 0, 0}));
    EXPECT_NE(p.pixel(720, 300), (Rgb{0, 0, 0}));
}

TEST(TestPicture, FillLineRunsOnAcrossPixelBoundaries) {
    TestPicture p(100, 120);
    std::vector<std::uint8_t> bytes(128 * 3 - 1);  // ends inside a pixel
    p.fillLine(7, bytes);
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_EQ(bytes[n], p.pixel(static_cast<int>(n / 3), 7)[n % 3]) << n;
}

}  // namespace
}  // namespace kavo3::sim
