// The backend's open, read and write against named pipes: real overlapped I/O with the
// test writing and reading on the far end where a device would be.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FakeSetupApi.h"
#include "PipeEnd.h"
#include "link/windows/HandleCount.h"
#include "link/windows/SetupApi.h"
#include "link/windows/WinHidTransport.h"

namespace kavo3::link::windows {
namespace {

using namespace std::chrono_literals;
using testing::PipeEnd;

std::vector<std::uint8_t> report(std::uint8_t first, std::size_t size = 65) {
    std::vector<std::uint8_t> r(size);
    for (std::size_t i = 0; i < size; ++i) r[i] = static_cast<std::uint8_t>(first + i);
    return r;
}

std::unique_ptr<HidHandle> openPath(WinHidTransport& transport, const std::string& path) {
    OpenError error = OpenError::Failed;
    auto handle = transport.open(path, error);
    EXPECT_EQ(error, handle ? OpenError::None : error);
    return handle;
}

class HandleIo : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer.valid());
        handle = openPath(transport, peer.path());
        ASSERT_TRUE(handle);
        ASSERT_TRUE(peer.accept());
    }

    WinHidTransport transport;
    PipeEnd peer;
    std::unique_ptr<HidHandle> handle;
};

TEST_F(HandleIo, ReadDeliversOneReportWhetherItCameBeforeOrDuringTheWait) {
    std::vector<std::uint8_t> buffer(65, 0);
    ASSERT_TRUE(peer.send(report(0x10)));  // already queued when the read starts
    EXPECT_EQ(handle->read(buffer, 1000ms), ReadStatus::Report);
    EXPECT_EQ(buffer, report(0x10));

    ASSERT_TRUE(peer.send(report(0x80)));
    EXPECT_EQ(handle->read(buffer, 1000ms), ReadStatus::Report);
    EXPECT_EQ(buffer, report(0x80));
}

TEST_F(HandleIo, ATimedOutReadLeavesTheCallersBufferAndNothingOutstanding) {
    std::vector<std::uint8_t> buffer(65, 0xAA);
    EXPECT_EQ(handle->read(buffer, 20ms), ReadStatus::Timeout);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(65, 0xAA));

    // Were the abandoned read still pending it would swallow this report.
    ASSERT_TRUE(peer.send(report(0x20)));
    EXPECT_EQ(handle->read(buffer, 1000ms), ReadStatus::Report);
    EXPECT_EQ(buffer, report(0x20));

    EXPECT_EQ(handle->read(buffer, 20ms), ReadStatus::Timeout);
    EXPECT_EQ(handle->read(buffer, 20ms), ReadStatus::Timeout);
    ASSERT_TRUE(peer.send(report(0x30)));
    EXPECT_EQ(handle->read(buffer, 1000ms), ReadStatus::Report);
    EXPECT_EQ(buffer, report(0x30));
}

TEST_F(HandleIo, AShortReportIsZeroFilledToTheBufferLength) {
    std::vector<std::uint8_t> buffer(65, 0xAA);
    ASSERT_TRUE(peer.send(report(1, 9)));
    EXPECT_EQ(handle->read(buffer, 1000ms), ReadStatus::Report);
    std::vector<std::uint8_t> expected(65, 0);
    const auto sent = report(1, 9);
    std::copy(sent.begin(), sent.end(), expected.begin());
    EXPECT_EQ(buffer, expected);
}

TEST_F(HandleIo, WriteSendsTheWholeReportAsOneBlock) {
    const auto out = report(0, 65);
    EXPECT_EQ(handle->write(out), WriteStatus::Taken);
    EXPECT_EQ(peer.receive(), out);
    const auto small = report(0x40, 9);
    EXPECT_EQ(handle->write(small), WriteStatus::Taken);
    EXPECT_EQ(peer.receive(), small);
}

TEST_F(HandleIo, AGoneDeviceFailsReadsAtOnceAndWrites) {
    peer.close();
    std::vector<std::uint8_t> buffer(65, 0xAA);
    // The full wait would be peer longer than any test run allows.
    EXPECT_EQ(handle->read(buffer, 600000ms), ReadStatus::Failed);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(65, 0xAA));
    EXPECT_NE(handle->write(report(0)), WriteStatus::Taken);
}

TEST_F(HandleIo, AnInterfaceThatIsNoHidDeviceHasNoAttributesOrCapabilities) {
    EXPECT_FALSE(handle->attributes());
    EXPECT_FALSE(handle->capabilities());
    handle->discardQueuedInput();  // harmless where there is no HID queue
}

TEST(HandleWrite, AWriteTheOtherSideNeverTakesIsGivenUpAfterTheLimit) {
    PipeEnd peer(1);  // room for almost nothing, and the test never reads
    ASSERT_TRUE(peer.valid());
    WinHidTransport transport(SetupApi::system(), 30ms);
    auto handle = openPath(transport, peer.path());
    ASSERT_TRUE(handle);
    ASSERT_TRUE(peer.accept());
    const std::vector<std::uint8_t> block(64 * 1024, 0x55);
    bool givenUp = false;
    for (int i = 0; i < 4 && !givenUp; ++i) givenUp = handle->write(block) == WriteStatus::Refused;
    EXPECT_TRUE(givenUp);
    EXPECT_NE(handle->failureText().find("given up"), std::string::npos) << handle->failureText();
}

TEST(HandleOpen, MissingPathFailsAndARefusedOneSaysNotPermitted) {
    WinHidTransport transport;
    OpenError error = OpenError::None;
    EXPECT_FALSE(transport.open("\\\\.\\pipe\\kavo3-test-no-such-pipe", error));
    EXPECT_EQ(error, OpenError::Failed);

    // A folder cannot be opened as a file: Windows answers "access denied".
    const auto folder = std::filesystem::temp_directory_path();
    error = OpenError::None;
    EXPECT_FALSE(transport.open(folder.string(), error));
    EXPECT_EQ(error, OpenError::NotPermitted);
    EXPECT_FALSE(transport.permissionHint().empty());
}

// One program per unit: the interface is opened without sharing, so that one held by another
// program is Busy and one held by this program refuses everyone else; this program's own
// further opens share the hold.
TEST(HandleOpen, AnInterfaceIsHeldByOneProgramAtATime) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("kavo3-held-" + std::to_string(::GetCurrentProcessId()));
    std::ofstream(file) << "";
    const auto openElsewhere = [&] {
        return UniqueHandle(::CreateFileA(file.string().c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    };
    WinHidTransport transport;
    OpenError error = OpenError::None;
    {
        const UniqueHandle other = openElsewhere();
        ASSERT_TRUE(other);
        EXPECT_FALSE(transport.open(file.string(), error));
        EXPECT_EQ(error, OpenError::Busy);
    }
    auto first = openPath(transport, file.string());
    auto second = openPath(transport, file.string());
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(openElsewhere());
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    first.reset();
    EXPECT_FALSE(openElsewhere());
    second.reset();
    EXPECT_TRUE(openElsewhere());
    std::filesystem::remove(file);
}

// The queue is asked for once per open interface, before anything is written: a class driver
// that empties the queue when it is resized (Wine's, measured in a guest) would otherwise drop
// the answer to the first command, come before the first read.
TEST(HandleRead, TheInterfaceAsksForAQueueOf512ReportsOnceBeforeAnyWrite) {
    testing::FakeSetup fake;
    WinHidTransport transport(fake.api());
    PipeEnd peer;
    ASSERT_TRUE(peer.valid());
    auto handle = openPath(transport, peer.path());
    ASSERT_TRUE(handle);
    ASSERT_TRUE(peer.accept());
    EXPECT_EQ(fake.inputBufferCounts, std::vector<ULONG>{512});
    auto reader = openPath(transport, peer.path());  // DeviceLink's second handle: the same open
    ASSERT_TRUE(reader);
    EXPECT_EQ(handle->write(report(0)), WriteStatus::Taken);
    std::vector<std::uint8_t> buffer(65);
    EXPECT_EQ(reader->read(buffer, 5ms), ReadStatus::Timeout);
    EXPECT_EQ(reader->read(buffer, 5ms), ReadStatus::Timeout);
    EXPECT_EQ(fake.inputBufferCounts, std::vector<ULONG>{512});
}

TEST(HandleOpen, AHandleReleasesEverythingItHeld) {
    WinHidTransport transport;
    PipeEnd peer;
    ASSERT_TRUE(peer.valid());
    const std::size_t before = countOpenHandles();
    {
        auto handle = openPath(transport, peer.path());
        ASSERT_TRUE(handle);
        ASSERT_TRUE(peer.accept());
        std::vector<std::uint8_t> buffer(65);
        EXPECT_EQ(handle->read(buffer, 5ms), ReadStatus::Timeout);  // makes its read event
        EXPECT_EQ(handle->write(report(0)), WriteStatus::Taken);    // and its write event
        EXPECT_GT(countOpenHandles(), before);
    }
    EXPECT_EQ(countOpenHandles(), before);
}

}  // namespace
}  // namespace kavo3::link::windows
