// The search for the unit over the Windows backend: order, the refused unit, and no
// handle left behind, counted by the process's own handle table.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FakeSetupApi.h"
#include "PipeEnd.h"
#include "link/DeviceLink.h"
#include "link/Trace.h"
#include "link/windows/HandleCount.h"
#include "link/windows/WinHidTransport.h"
#include "tests/support/OneReport.h"

namespace kavo3::link::windows {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<std::string> notesIn(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> notes;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("# ", 0) == 0) notes.push_back(line.substr(2));
    }
    return notes;
}

TEST(HandleCount, SeesAHandleComeAndGo) {
    const std::size_t before = countOpenHandles();
    ASSERT_GT(before, 0u);
    {
        UniqueHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        EXPECT_EQ(countOpenHandles(), before + 1);
    }
    EXPECT_EQ(countOpenHandles(), before);
}

class SearchOverListedPaths : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto base =
            fs::temp_directory_path() / ("kavo3-search-" + std::to_string(::GetCurrentProcessId()));
        fs::create_directories(base);
        // Named as Windows names a unit's interface; a folder cannot be opened as a file.
        refusedUnit = base / "hid#vid_17a7&pid_0001#1&0&0000";
        fs::create_directories(refusedUnit);
        // Another program has this one open.
        busyUnit = base / "hid#vid_17a7&pid_0002#1&0&0001";
        std::ofstream(busyUnit) << "";
        otherProgram.reset(::CreateFileA(busyUnit.string().c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
        ASSERT_TRUE(otherProgram);
        tracePath = base / "trace.txt";
        ASSERT_TRUE(pipe.valid());
        fake.paths = {pipe.path(), (base / "gone").string(), busyUnit.string(),
                      refusedUnit.string()};
    }
    void TearDown() override {
        otherProgram.reset();
        std::error_code ignored;
        fs::remove_all(refusedUnit.parent_path(), ignored);
    }

    testing::PipeEnd pipe;
    testing::FakeSetup fake;
    fs::path refusedUnit;
    fs::path busyUnit;
    UniqueHandle otherProgram;
    fs::path tracePath;
};

TEST_F(SearchOverListedPaths, ExaminesEveryInterfaceInOrderAndLeavesNoHandle) {
    WinHidTransport transport(fake.api());
    auto trace = Trace::open(tracePath.string());
    ASSERT_TRUE(trace);
    const std::size_t before = countOpenHandles();
    {
        DeviceLink link(transport, 20ms, trace.get());
        EXPECT_FALSE(link.OpenDevice());
        EXPECT_EQ(countOpenHandles(), before);

        // A write while nothing is found searches again from the first member.
        kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
        EXPECT_FALSE(link.DeviceFound());
        EXPECT_EQ(countOpenHandles(), before);
        EXPECT_NE(link.unitProblem().find(refusedUnit.string()), std::string::npos);
        EXPECT_NE(link.unitProblem().find(transport.permissionHint()), std::string::npos);
    }
    EXPECT_EQ(fake.enumeratedIndexes, (std::vector<DWORD>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4}));
    EXPECT_EQ(fake.setsDestroyed, 2);

    const auto notes = notesIn(tracePath);
    ASSERT_GE(notes.size(), 6u);
    EXPECT_EQ(notes[0], "search: 4 HID interface(s)");
    EXPECT_EQ(notes[1], pipe.path() + ": no attributes, passed over");
    EXPECT_EQ(notes[2], fake.paths[1] + ": cannot be opened, passed over");
    EXPECT_EQ(
        notes[3].rfind("The KAVO-3 at " + busyUnit.string() + " is in use by another program: ", 0),
        0u)
        << notes[3];
    EXPECT_EQ(notes[4].rfind("The KAVO-3 at " + refusedUnit.string(), 0), 0u) << notes[4];
    EXPECT_EQ(notes[5], "search: no unit found");
}

TEST(SearchOverThisMachine, EndsCleanlyWithNoHandleLeft) {
    WinHidTransport transport;
    const std::size_t before = countOpenHandles();
    {
        DeviceLink link(transport, 20ms);
        if (!link.OpenDevice()) {
            EXPECT_EQ(countOpenHandles(), before);
        } else {
            // A unit is attached: the link's two handles and the hold they share.
            EXPECT_EQ(countOpenHandles(), before + 3);
            link.close();
        }
    }
    EXPECT_EQ(countOpenHandles(), before);
}

}  // namespace
}  // namespace kavo3::link::windows
