// Whole-file saves on the real file system: what stands on the disk afterwards, whatever
// happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/WholeFile.h"

#ifdef __linux__
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

namespace kavo3::files {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every save also checks that asking first would have foretold it (a full disk aside), and
// that asking left nothing behind.
bool save(const fs::path& path, const std::string& text, bool foreseeable = true) {
    const bool writable = wholeFileWritable(path);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    // Two pieces, so that the seam between them is checked too.
    const std::size_t half = text.size() / 2;
    const bool written =
        writeWholeFile(path, {FilePiece(bytes, half), FilePiece(bytes + half, text.size() - half)});
    if (foreseeable) EXPECT_EQ(writable, written) << path;
    return written;
}

// A folder that takes no new file while a file in it stays writable. Root passes over the
// folder's permissions, so it is made immutable instead where the file system allows.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(fs::path path) : path_(std::move(path)) {
        fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_exec);
#ifdef __linux__
        if (takesNewFiles())
            immutable_ =
                std::system(("chattr +i '" + path_.string() + "' 2>/dev/null").c_str()) == 0;
#endif
        ready_ = !takesNewFiles();
    }
    ~ReadOnlyFolder() {
        if (immutable_) std::system(("chattr -i '" + path_.string() + "'").c_str());
        fs::permissions(path_, fs::perms::owner_all);
    }
    bool ready() const { return ready_; }

  private:
    bool takesNewFiles() const {
        const fs::path probe = path_ / "probe";
        if (!std::ofstream(probe)) return false;
        std::error_code ignored;
        fs::remove(probe, ignored);
        return true;
    }
    fs::path path_;
    bool immutable_ = false;
    bool ready_ = false;
};

class WholeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("kavo3-whole-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(folder_))
            out.push_back(entry.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path folder_;
};

TEST_F(WholeFileTest, ReplacesTheFileWholeAndLeavesItsNeighboursAlone) {
    const fs::path path = folder_ / "kavo3_syc1.bin";
    put(path, std::string(5000, 'o'));
    // Names a careless writer might take for its own temporary file.
    put(folder_ / "kavo3_syc1.bin.saving", "mine");
    put(folder_ / "kavo3_syc1.bin.tmp", "mine too");

    ASSERT_TRUE(save(path, "new contents"));
    EXPECT_EQ(contents(path), "new contents");
    EXPECT_EQ(contents(folder_ / "kavo3_syc1.bin.saving"), "mine");
    EXPECT_EQ(contents(folder_ / "kavo3_syc1.bin.tmp"), "mine too");
    EXPECT_EQ(names(), (std::vector<std::string>{"kavo3_syc1.bin", "kavo3_syc1.bin.saving",
                                                 "kavo3_syc1.bin.tmp"}));

    ASSERT_TRUE(save(folder_ / "fresh.bin", "made"));
    EXPECT_EQ(contents(folder_ / "fresh.bin"), "made");
    ASSERT_TRUE(save(folder_ / "empty.bin", ""));
    EXPECT_EQ(fs::file_size(folder_ / "empty.bin"), 0u);
}

TEST_F(WholeFileTest, AFailedSaveLeavesTheOldFileAndNothingBeside) {
    // A name at the length limit: the file exists, but nothing can be written beside it.
    const fs::path longName = folder_ / std::string(255, 'k');
    put(longName, "old contents");
    EXPECT_FALSE(save(longName, "new"));
    EXPECT_EQ(contents(longName), "old contents");

    // A folder stands where the file would go, or the folder is missing.
    fs::create_directory(folder_ / "taken");
    EXPECT_FALSE(save(folder_ / "taken", "new"));
    EXPECT_TRUE(fs::is_directory(folder_ / "taken"));
    EXPECT_FALSE(save(folder_ / "missing" / "x.bin", "new"));
    EXPECT_FALSE(save(fs::path(), "new"));
    EXPECT_EQ(names(), (std::vector<std::string>{std::string(255, 'k'), "taken"}));
}

#ifdef __linux__
TEST_F(WholeFileTest, AFullDiskKeepsTheFileThatStoodThere) {
    const fs::path path = folder_ / "keep.bin";
    put(path, "previous");
    // A file size limit makes every write past it fail, as a full disk does.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = save(path, std::string(100'000, 'n'), false);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(contents(path), "previous");
    EXPECT_EQ(names(), std::vector<std::string>{"keep.bin"});
}

TEST_F(WholeFileTest, ALinkKeepsPointingAtItsFileWhichKeepsItsPermissions) {
    fs::create_directory(folder_ / "real");
    const fs::path real = folder_ / "real" / "frame.bmp";
    put(real, "old picture");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(fs::path("real") / "frame.bmp", folder_ / "link.bmp");

    ASSERT_TRUE(save(folder_ / "link.bmp", "new picture"));
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.bmp"));
    EXPECT_EQ(contents(real), "new picture");
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(names(), (std::vector<std::string>{"link.bmp", "real"}));
}
#endif

TEST_F(WholeFileTest, InAFolderThatTakesNoNewFileTheFileIsWrittenInPlace) {
    const fs::path path = folder_ / "kavo3_syc1.bin";
    put(path, std::string(600, 'x'));
    ReadOnlyFolder readOnly(folder_);
    if (!readOnly.ready()) GTEST_SKIP() << "no folder here can refuse new files";

    ASSERT_TRUE(save(path, "in place"));
    EXPECT_EQ(contents(path), "in place");  // cut to the new length
    // A file that is not there cannot be written in place either.
    EXPECT_FALSE(save(folder_ / "absent.bin", "new"));
    EXPECT_EQ(names(), std::vector<std::string>{"kavo3_syc1.bin"});
}

}  // namespace
}  // namespace kavo3::files
