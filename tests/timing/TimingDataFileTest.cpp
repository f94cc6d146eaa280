#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <vector>

#include "timing/TimingDataFile.h"
#include "timing/TimingParameters.h"
#include "timing/TimingState.h"

namespace kavo3::timing {
namespace {

std::vector<std::uint8_t> validFile(std::size_t size = kTimingFileSize) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(0x80 + i);
    for (const auto& p : kTimingParameters)
        if (p.wide()) bytes[static_cast<std::size_t>(p.highByte)] = 0x0F;
    return bytes;
}

TEST(TimingParameters, OwnTheBytesOfTheRegisterTable) {
    std::set<std::size_t> owned;
    for (const auto& p : kTimingParameters) {
        EXPECT_EQ(p.lowByte % 2, 0u) << p.name;
        EXPECT_TRUE(owned.insert(p.lowByte).second) << p.name;
        if (p.wide()) {
            EXPECT_EQ(static_cast<std::size_t>(p.highByte), p.lowByte + 2) << p.name;
            EXPECT_TRUE(owned.insert(static_cast<std::size_t>(p.highByte)).second) << p.name;
            EXPECT_EQ(p.maximum, 4095) << p.name;
        } else {
            EXPECT_EQ(p.maximum, 255) << p.name;
        }
        EXPECT_LE(p.lowByte + 3, 75u) << "a change writes inside what a load writes";
    }
    EXPECT_EQ(owned.size(), 24u);
}

TEST(TimingParameters, RefreshOrderVisitsEachSliderOnceOutputSizeAfterPosition) {
    std::vector<std::string> names;
    for (auto i : kRefreshOrder) names.emplace_back(kTimingParameters[i].name);
    EXPECT_EQ(names, (std::vector<std::string>{"h2pos", "v2pos", "h2size", "v2size", "clamp_start",
                                               "clamp_width", "hst", "vst", "hsw", "vsw", "ph1pos",
                                               "ph1size", "pv1pos", "pv1size"}));
}

TEST(TimingState, PageLimitNeverCarriesIntoTheHighByte) {
    TimingState s;
    s.TimingBaseLow = 175;
    EXPECT_TRUE(s.inPage(72, 8));  // the last read ends at 254
    EXPECT_TRUE(s.inPage(72, 4));
    s.TimingBaseLow = 177;
    EXPECT_FALSE(s.inPage(72, 8));
    EXPECT_TRUE(s.inPage(72, 4));  // 249..252
    EXPECT_TRUE(s.inPage(64, 8));
    s.TimingBaseLow = 0xF0;
    EXPECT_TRUE(s.inPage(12, 4));  // 0xFC..0xFF
    EXPECT_FALSE(s.inPage(13, 4));
    EXPECT_EQ(s.addressLow(12), 0xFC);
    s.TimingBaseLow = 0xFF;
    EXPECT_TRUE(s.inPage(0, 1));
    EXPECT_FALSE(s.inPage(0, 4));
}

TEST(TimingFileParse, TakesTheFirst256BytesUnchanged) {
    for (std::size_t size : {std::size_t{256}, std::size_t{257}, std::size_t{4096}}) {
        const auto file = validFile(size);
        const auto data = parseTimingFile(file);
        ASSERT_EQ(data.error, TimingFileError::None) << size;
        EXPECT_TRUE(std::equal(data.bytes.begin(), data.bytes.end(), file.begin())) << size;
    }
}

TEST(TimingFileParse, RefusesAShortFile) {
    EXPECT_EQ(parseTimingFile({}).error, TimingFileError::TooShort);
    EXPECT_EQ(parseTimingFile(validFile(255)).error, TimingFileError::TooShort);
}

TEST(TimingFileParse, RefusesAHighByteAbove15OfEvery16BitParameterOnly) {
    for (const auto& p : kTimingParameters) {
        auto file = validFile();
        if (p.wide()) {
            file[static_cast<std::size_t>(p.highByte)] = 0x10;
            EXPECT_EQ(parseTimingFile(file).error, TimingFileError::ValueOutOfRange) << p.name;
        } else {
            file[p.lowByte] = 0xFF;  // an 8-bit parameter takes any byte
            EXPECT_EQ(parseTimingFile(file).error, TimingFileError::None) << p.name;
        }
    }
    // Bytes that belong to no parameter take any value, also the one between low and high.
    auto file = validFile();
    file[3] = 0xFF;
    file[79] = 0xFF;
    file[200] = 0xFF;
    EXPECT_EQ(parseTimingFile(file).error, TimingFileError::None);
}

TEST(TimingFileApply, ReplacesBytes0To255AndNothingOnARefusal) {
    TimingImage image{};
    image.fill(0x11);
    image[256] = 0x22;
    auto bad = validFile();
    bad[46] = 0x80;
    applyTimingFile(parseTimingFile(bad), image);
    for (auto b : std::span(image).first(256)) ASSERT_EQ(b, 0x11);

    const auto good = validFile(300);
    applyTimingFile(parseTimingFile(good), image);
    EXPECT_TRUE(std::equal(good.begin(), good.begin() + 256, image.begin()));
    EXPECT_EQ(image[256], 0x22);
}

TEST(TimingFileBytes, AreTheWholeImage) {
    TimingImage image{};
    std::iota(image.begin(), image.end(), std::uint8_t{0});
    const auto bytes = timingFileBytes(image);
    ASSERT_EQ(bytes.size(), 257u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), image.begin()));
}

}  // namespace
}  // namespace kavo3::timing
