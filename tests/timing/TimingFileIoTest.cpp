// Timing data files on disk, as the window and the command line save and load them: what a
// save leaves behind, whatever happens.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "timing/TimingFileIo.h"

namespace kavo3::timing {
namespace {

TimingImage sampleImage() {
    TimingImage image{};
    for (std::size_t i = 0; i < 256; ++i) image[i] = static_cast<std::uint8_t>(0xFF - i);
    for (std::size_t high : {4, 8, 12, 16, 42, 46, 56, 60, 64, 68}) image[high] = 0x0F;
    return image;
}

class TimingFileIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kavo3-timing-io-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::vector<std::uint8_t> contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    std::filesystem::path folder_;
};

TEST_F(TimingFileIoTest, ASaveReplacesALongerFileWholeAndLoadsBack) {
    const auto path = folder_ / "kavo3_syc1.bin";
    write(path, std::vector<std::uint8_t>(1000, 0xEE));
    TimingImage image{};
    for (std::size_t i = 0; i < 256; ++i) image[i] = static_cast<std::uint8_t>(i % 16);
    ASSERT_TRUE(saveTimingFile(path, image));

    const auto saved = contents(path);
    ASSERT_EQ(saved.size(), kTimingFileSize);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), saved.begin()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                            std::filesystem::directory_iterator()),
              1);

    const TimingFileData loaded = loadTimingFile(path);
    ASSERT_EQ(loaded.error, TimingFileError::None);
    EXPECT_TRUE(std::equal(loaded.bytes.begin(), loaded.bytes.end(), image.begin()));
}

TEST_F(TimingFileIoTest, ASaveThatCannotBeWrittenLeavesNothingBehind) {
    EXPECT_FALSE(saveTimingFile(folder_ / "missing" / "x.bin", TimingImage{}));
    EXPECT_FALSE(saveTimingFile(folder_, TimingImage{}));  // a folder stands there
    EXPECT_TRUE(std::filesystem::is_directory(folder_));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                            std::filesystem::directory_iterator()),
              0);
}

TEST_F(TimingFileIoTest, JapanesePathRoundTrip) {
    const auto folder = folder_ / std::filesystem::path(u8"映像タイミング");
    std::filesystem::create_directories(folder);
    const auto path = folder / std::filesystem::path(u8"kavo3_syc設定.bin");
    const auto image = sampleImage();
    ASSERT_TRUE(saveTimingFile(path, image));
    EXPECT_EQ(std::filesystem::file_size(path), 257u);

    const auto data = loadTimingFile(path);
    ASSERT_EQ(data.error, TimingFileError::None);
    EXPECT_TRUE(std::equal(data.bytes.begin(), data.bytes.end(), image.begin()));
}

TEST_F(TimingFileIoTest, SaveOverALongerFileLeavesExactly257Bytes) {
    const auto path = folder_ / "long.bin";
    write(path, std::vector<std::uint8_t>(4000, 'x'));
    const auto image = sampleImage();
    ASSERT_TRUE(saveTimingFile(path, image));
    const auto bytes = contents(path);
    ASSERT_EQ(bytes.size(), 257u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bytes.begin()));
}

TEST_F(TimingFileIoTest, FailedSaveLeavesTheOldFileAsItWas) {
    // A name at the length limit: the file exists, but nothing can be written beside it.
    const auto path = folder_ / std::string(255, 'k');
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    write(path, old);
    EXPECT_FALSE(saveTimingFile(path, sampleImage()));
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(TimingFileIoTest, ALoadRefusesWhatIsNoTimingFile) {
    write(folder_ / "shorter.bin", std::vector<std::uint8_t>(200, 0));
    EXPECT_EQ(loadTimingFile(folder_ / "shorter.bin").error, TimingFileError::TooShort);
    write(folder_ / "short.bin", std::vector<std::uint8_t>(255, 1));
    EXPECT_EQ(loadTimingFile(folder_ / "short.bin").error, TimingFileError::TooShort);
    EXPECT_EQ(loadTimingFile(folder_ / "missing.bin").error, TimingFileError::CannotOpen);
    EXPECT_EQ(loadTimingFile(folder_).error, TimingFileError::CannotOpen);
    std::vector<std::uint8_t> tooHigh(kTimingFileSize, 0);
    tooHigh[4] = 0x10;  // h2pos 4096
    write(folder_ / "high.bin", tooHigh);
    EXPECT_EQ(loadTimingFile(folder_ / "high.bin").error, TimingFileError::ValueOutOfRange);
}

}  // namespace
}  // namespace kavo3::timing
