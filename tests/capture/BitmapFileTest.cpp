#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "capture/BitmapFile.h"

#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

namespace kavo3::capture {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

Frame patterned(int width, int height) {
    Frame f(width, height);
    for (std::size_t i = 0; i < f.PixelBuffer.size(); ++i)
        f.PixelBuffer[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    return f;
}

class BitmapFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kavo3-bmp-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<fs::path> filesInDir() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename());
        return out;
    }

    fs::path dir_;
};

TEST_F(BitmapFileTest, WritesTheHeadersAndThePixelsAsTheyStand) {
    const Frame frame = patterned(720, 480);
    const fs::path path = dir_ / "frame.bmp";
    ASSERT_TRUE(WriteBitmapFile(path, frame));

    const auto b = readAll(path);
    ASSERT_EQ(b.size(), 1036854u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), 1036854u);
    EXPECT_EQ(u16(b, 6), 0);
    EXPECT_EQ(u16(b, 8), 0);
    EXPECT_EQ(u32(b, 10), 54u);
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, 18)), 720);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, 22)), -480);
    EXPECT_EQ(u16(b, 26), 1);
    EXPECT_EQ(u16(b, 28), 24);
    EXPECT_EQ(u32(b, 30), 0u);
    EXPECT_EQ(u32(b, 34), 0u);
    EXPECT_EQ(u32(b, 38), 3780u);
    EXPECT_EQ(u32(b, 42), 3780u);
    EXPECT_EQ(u32(b, 46), 0u);
    EXPECT_EQ(u32(b, 50), 0u);
    // The pixel data is the buffer unchanged: top row first, blue first.
    EXPECT_TRUE(std::equal(frame.PixelBuffer.begin(), frame.PixelBuffer.end(), b.begin() + 54));
    EXPECT_EQ(filesInDir(), std::vector<fs::path>{"frame.bmp"});  // nothing left beside it
}

TEST_F(BitmapFileTest, ReplacesAnExistingLongerFile) {
    const fs::path path = dir_ / "old.bmp";
    { std::ofstream(path, std::ios::binary) << std::string(3'000'000, 'x'); }
    ASSERT_TRUE(WriteBitmapFile(path, patterned(128, 101)));
    EXPECT_EQ(fs::file_size(path), 54u + 128 * 101 * 3);
}

TEST_F(BitmapFileTest, RefusesPixelsThatDoNotMatchTheSizes) {
    Frame frame = patterned(720, 480);
    frame.FrameHeight = 240;
    EXPECT_FALSE(WriteBitmapFile(dir_ / "a.bmp", frame));
    EXPECT_FALSE(WriteBitmapFile(dir_ / "b.bmp", Frame()));
    EXPECT_TRUE(filesInDir().empty());
}

TEST_F(BitmapFileTest, JapanesePath) {
    const fs::path folder = dir_ / fs::path(u8"キャプチャー画像");
    fs::create_directories(folder);
    const fs::path path = folder / fs::path(u8"静止画.bmp");
    ASSERT_TRUE(WriteBitmapFile(path, patterned(720, 480)));
    EXPECT_EQ(fs::file_size(path), 1036854u);
}

TEST_F(BitmapFileTest, InvalidPathFailsAndWritesNothing) {
    const fs::path notADir = dir_ / "plain";
    { std::ofstream(notADir) << "keep"; }
    EXPECT_FALSE(WriteBitmapFile(notADir / "frame.bmp", patterned(128, 101)));
    EXPECT_FALSE(WriteBitmapFile(dir_ / "missing" / "frame.bmp", patterned(128, 101)));
    EXPECT_EQ(filesInDir(), std::vector<fs::path>{"plain"});
}

#ifdef __linux__
TEST_F(BitmapFileTest, FullDiskKeepsTheFileThatStoodThere) {
    const fs::path path = dir_ / "keep.bmp";
    { std::ofstream(path, std::ios::binary) << "previous picture"; }

    // A file size limit makes every write past it fail, as a full disk does.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteBitmapFile(path, patterned(720, 480));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    const auto b = readAll(path);
    EXPECT_EQ(std::string(b.begin(), b.end()), "previous picture");
    EXPECT_EQ(filesInDir(), std::vector<fs::path>{"keep.bmp"});
}
#endif

TEST(FinalBitmapPath, ReplacesTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(finalBitmapPath("/home/u/a.b.c"), "/home/u/a.b.bmp");
    EXPECT_EQ(finalBitmapPath("/home/u/frame.png"), "/home/u/frame.bmp");
    EXPECT_EQ(finalBitmapPath("/home/u/frame"), "/home/u/frame.bmp");
    EXPECT_EQ(finalBitmapPath("/home/u/frame.bmp"), "/home/u/frame.bmp");
    EXPECT_EQ(finalBitmapPath("/home/u.name/frame"), "/home/u.name/frame.bmp");
    EXPECT_EQ(finalBitmapPath("/home/u.name/.hidden"), "/home/u.name/.bmp");
    EXPECT_EQ(finalBitmapPath("frame."), "frame.bmp");
    EXPECT_EQ(finalBitmapPath("a.b.c"), "a.b.bmp");
    EXPECT_EQ(finalBitmapPath("/写真.フォルダ/画像.jpeg"), "/写真.フォルダ/画像.bmp");
}

}  // namespace
}  // namespace kavo3::capture
