#include <gtest/gtest.h>

#include "download/StatusTexts.h"

namespace kavo3::download {
namespace {

TEST(StatusTexts, HexIsUpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(hexText(0), "0");
    EXPECT_EQ(hexText(0xA), "A");
    EXPECT_EQ(hexText(0x0E8000), "E8000");
    EXPECT_EQ(hexText(0xFFFFFFFF), "FFFFFFFF");
}

TEST(StatusTexts, ProgressNamesTheOffsetInHex) {
    EXPECT_EQ(progressText(0), "0byte");
    EXPECT_EQ(progressText(8), "8byte");
    EXPECT_EQ(progressText(16), "10byte");
    EXPECT_EQ(progressText(24), "18byte");
    EXPECT_EQ(progressText(0xFFFF8), "FFFF8byte");
}

TEST(StatusTexts, Verdicts) {
    EXPECT_EQ(verdictText(0xAB, 0xAB), "Chack sum=00AB  Write OK  rom=AB file=AB");
    EXPECT_EQ(verdictText(0, 0), "Chack sum=0000  Write OK  rom=0 file=0");
    EXPECT_EQ(verdictText(0xBEEF, 0xBEEF), "Chack sum=BEEF  Write OK  rom=BEEF file=BEEF");
    EXPECT_EQ(verdictText(0x12, 0x1234), "Write error  rom=12 file=1234");
    EXPECT_EQ(verdictText(0xFFFF, 0), "Write error  rom=FFFF file=0");
    EXPECT_EQ(writeErrorText("file size 0"), "Write error  file size 0");
}

}  // namespace
}  // namespace kavo3::download
