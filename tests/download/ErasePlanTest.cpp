#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "download/ErasePlan.h"
#include "download/FileSum.h"

namespace kavo3::download {
namespace {

TEST(ErasePlan, EveryWorkedExample) {
    struct Case {
        std::uint32_t n;
        ErasePlan plan;
    };
    const Case cases[] = {
        {8, {0, 1}},     {32768, {0, 8}}, {32776, {1, 1}},
        {40000, {1, 2}}, {65536, {1, 8}}, {0x100000, {31, 8}},
    };
    for (const Case& c : cases) EXPECT_EQ(erasePlan(c.n), c.plan) << "n = " << c.n;
}

TEST(ErasePlan, AlwaysCoversTheAreaAndEndsInSmallBlocks) {
    for (std::uint32_t n = 8; n <= kMaxDownloadBytes; n += 8) {
        const ErasePlan plan = erasePlan(n);
        const std::uint32_t covered = plan.large * kLargeBlockBytes + plan.small * kSmallBlockBytes;
        ASSERT_GE(covered, n) << n;
        ASSERT_LT(covered - n, kSmallBlockBytes) << n;  // no whole block erased needlessly
        ASSERT_GE(plan.small, 1u) << n;
        ASSERT_LE(plan.small, 8u) << n;
    }
    EXPECT_EQ(erasePlan(0), (ErasePlan{0, 0}));
}

TEST(Sizing, CapsAtOneMebibyteAndPadsToWholeReports) {
    EXPECT_EQ(cappedLength(0), 0u);
    EXPECT_EQ(cappedLength(40000), 40000u);
    EXPECT_EQ(cappedLength(0xFFFFF), 0xFFFFFu);
    EXPECT_EQ(cappedLength(0x100000), 0x100000u);
    EXPECT_EQ(cappedLength(0x100001), 0x100000u);
    EXPECT_EQ(cappedLength(0x1'0000'0005ull), 0x100000u);  // no wrap past 32 bits

    EXPECT_EQ(paddedLength(1), 8u);
    EXPECT_EQ(paddedLength(8), 8u);
    EXPECT_EQ(paddedLength(9), 16u);
    EXPECT_EQ(paddedLength(0xFFFFF), 0x100000u);
    EXPECT_EQ(paddedLength(0x100000), 0x100000u);
}

TEST(FileSum, DropsTheCarryOutOfBit15) {
    EXPECT_EQ(addToSum(0, std::vector<std::uint8_t>{}), 0);
    EXPECT_EQ(addToSum(0, std::array<std::uint8_t, 3>{0x01, 0x02, 0xFF}), 0x102);
    EXPECT_EQ(addToSum(0xFFFF, std::array<std::uint8_t, 1>{0x01}), 0x0000);
    EXPECT_EQ(addToSum(0xFF80, std::array<std::uint8_t, 2>{0xFF, 0x02}), 0x0081);
    // 1 MiB of 0xFF: 0xFF * 0x100000 = 0xFF00000, of which 0x0000 remains.
    const std::vector<std::uint8_t> erased(0x100000, 0xFF);
    EXPECT_EQ(addToSum(0, erased), 0x0000);
    const std::vector<std::uint8_t> ones(0x10001, 0x01);
    EXPECT_EQ(addToSum(0, ones), 0x0001);
    // Summing in pieces gives the same as summing at once.
    std::uint16_t pieces = 0;
    for (std::size_t i = 0; i < 40000; i += 8)
        pieces = addToSum(pieces, std::span(erased).subspan(i, 8));
    EXPECT_EQ(pieces, addToSum(0, std::span(erased).first(40000)));
}

}  // namespace
}  // namespace kavo3::download
