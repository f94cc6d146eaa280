// How the backend tells a device that has left from other failures: the HID class driver's
// codes, put in by a stand-in for the report I/O over a real pipe handle.

#include <gtest/gtest.h>

#include <string>

#include "PipeEnd.h"
#include "link/windows/FileIo.h"
#include "link/windows/SetupApi.h"
#include "link/windows/WinHidTransport.h"

namespace kavo3::link::windows {
namespace {

using namespace std::chrono_literals;
using testing::PipeEnd;

// What the stand-in does to the next calls: fail at once with `code`, or let the call pend
// and fail when its result is fetched. Code 0 lets the real calls through.
DWORD failWith = 0;
bool failLater = false;

BOOL fail(LPOVERLAPPED ov) {
    if (failLater) {
        ::SetEvent(ov->hEvent);
        ::SetLastError(ERROR_IO_PENDING);
    } else {
        ::SetLastError(failWith);
    }
    return FALSE;
}

BOOL WINAPI writeFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED ov) {
    if (failWith == 0) return ::WriteFile(file, data, size, done, ov);
    return fail(ov);
}

BOOL WINAPI readFile(HANDLE file, LPVOID data, DWORD size, LPDWORD done, LPOVERLAPPED ov) {
    if (failWith == 0) return ::ReadFile(file, data, size, done, ov);
    return fail(ov);
}

BOOL WINAPI overlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD done, BOOL wait) {
    if (failWith == 0 || !failLater) return ::GetOverlappedResult(file, ov, done, wait);
    *done = 0;
    ::SetLastError(failWith);
    return FALSE;
}

const FileIo standIn{&writeFile, &readFile, &overlappedResult};

class DeviceGone : public ::testing::Test {
  protected:
    void SetUp() override {
        failWith = 0;
        failLater = false;
        ASSERT_TRUE(peer.valid());
        OpenError error = OpenError::Failed;
        handle = transport.open(peer.path(), error);
        ASSERT_TRUE(handle);
        ASSERT_TRUE(peer.accept());
    }
    void TearDown() override { failWith = 0; }

    WinHidTransport transport{SetupApi::system(), WinHidTransport::kWriteLimit, standIn};
    PipeEnd peer;
    std::unique_ptr<HidHandle> handle;
    std::vector<std::uint8_t> report = std::vector<std::uint8_t>(65, 0);
};

TEST_F(DeviceGone, EveryCodeOfADeviceThatLeftIsGoneWhetherAtOnceOrWhileWaiting) {
    struct Code {
        DWORD code;
        const char* name;
    };
    for (const Code c : {Code{ERROR_DEVICE_NOT_CONNECTED, "ERROR_DEVICE_NOT_CONNECTED"},
                         Code{ERROR_BAD_COMMAND, "ERROR_BAD_COMMAND"},
                         Code{ERROR_GEN_FAILURE, "ERROR_GEN_FAILURE"}}) {
        for (const bool later : {false, true}) {
            failWith = c.code;
            failLater = later;
            EXPECT_EQ(handle->write(report), WriteStatus::Gone) << c.name << later;
            EXPECT_NE(handle->failureText().find(c.name), std::string::npos)
                << handle->failureText();
            EXPECT_NE(handle->failureText().find("WriteFile"), std::string::npos);
            // A wait far longer than any test run: it must not be waited out.
            EXPECT_EQ(handle->read(report, 600000ms), ReadStatus::Gone) << c.name << later;
            EXPECT_NE(handle->failureText().find("ReadFile"), std::string::npos);
        }
    }
}

TEST_F(DeviceGone, OtherFailuresAndTimeoutsAreNot) {
    EXPECT_EQ(handle->read(report, 20ms), ReadStatus::Timeout);
    for (const DWORD code : {DWORD(ERROR_INVALID_HANDLE), DWORD(ERROR_ACCESS_DENIED),
                             DWORD(ERROR_NOT_ENOUGH_MEMORY)}) {
        failWith = code;
        EXPECT_EQ(handle->write(report), WriteStatus::Refused) << code;
        EXPECT_NE(handle->failureText().find(std::to_string(code)), std::string::npos);
        EXPECT_EQ(handle->read(report, 600000ms), ReadStatus::Failed) << code;
    }
    failWith = 0;
    EXPECT_EQ(handle->write(report), WriteStatus::Taken);
    EXPECT_EQ(peer.receive(), report);

    // The far end of a pipe going away is no word of a HID device.
    peer.close();
    EXPECT_EQ(handle->read(report, 600000ms), ReadStatus::Failed);
    EXPECT_EQ(handle->write(report), WriteStatus::Refused);
}

}  // namespace
}  // namespace kavo3::link::windows
