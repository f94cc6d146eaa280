// How the backend tells a device that has left from other failures: the HID class driver's
// codes, put in by a stand-in for the report I/O over a real pipe handle.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FakeSetupApi.h"
#include "PipeEnd.h"
#include "link/windows/AbandonedIo.h"
#include "link/windows/FileIo.h"
#include "link/windows/SetupApi.h"
#include "link/windows/WinHidTransport.h"

namespace kavo3::link::windows {
namespace {

using namespace std::chrono_literals;
using testing::PipeEnd;

// What the stand-in does to the next calls: fail at once with `code`, or let the call pend
// and fail when its result is fetched. Code 0 lets the real calls through. With neverEnds the
// calls pend and a cancel is ignored, as by a driver that never ends them.
DWORD failWith = 0;
bool failLater = false;
bool neverEnds = false;
struct Pending {
    LPOVERLAPPED overlapped = nullptr;
    void* data = nullptr;
    DWORD size = 0;
};
Pending pending;

BOOL pend(LPVOID data, DWORD size, LPOVERLAPPED ov) {
    ov->Internal = STATUS_PENDING;
    pending = {ov, data, size};
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

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
    if (neverEnds) return pend(const_cast<LPVOID>(data), size, ov);
    if (failWith == 0) return ::WriteFile(file, data, size, done, ov);
    return fail(ov);
}

BOOL WINAPI readFile(HANDLE file, LPVOID data, DWORD size, LPDWORD done, LPOVERLAPPED ov) {
    if (neverEnds) return pend(data, size, ov);
    if (failWith == 0) return ::ReadFile(file, data, size, done, ov);
    return fail(ov);
}

BOOL WINAPI overlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD done, BOOL wait) {
    if (failWith == 0 || !failLater) return ::GetOverlappedResult(file, ov, done, wait);
    *done = 0;
    ::SetLastError(failWith);
    return FALSE;
}

BOOL WINAPI cancelIo(HANDLE file, LPOVERLAPPED ov) {
    if (neverEnds) return TRUE;  // asked, and ignored
    return ::CancelIoEx(file, ov);
}

const FileIo standIn{&writeFile, &readFile, &overlappedResult, &cancelIo};

// The driver ends the operation it kept, long after the handle gave up on it.
void endPendingOperation() {
    std::memset(pending.data, 0xEE, pending.size);
    pending.overlapped->InternalHigh = pending.size;
    pending.overlapped->Internal = 0;
    ::SetEvent(pending.overlapped->hEvent);
}

class DeviceGone : public ::testing::Test {
  protected:
    void SetUp() override {
        failWith = 0;
        failLater = false;
        neverEnds = false;
        ASSERT_TRUE(peer.valid());
        OpenError error = OpenError::Failed;
        handle = transport.open(peer.path(), error);
        ASSERT_TRUE(handle);
        ASSERT_TRUE(peer.accept());
    }
    void TearDown() override {
        failWith = 0;
        neverEnds = false;
    }

    WinHidTransport transport{SetupApi::system(), WinHidTransport::kWriteLimit, standIn};
    PipeEnd peer;
    std::unique_ptr<HidHandle> handle;
    std::vector<std::uint8_t> report = std::vector<std::uint8_t>(65, 0);
};

// Each code the HID class driver may give on a removal is judged by the device list: gone
// only where the interface is no longer listed, a failed call while it still is.
TEST_F(DeviceGone, ACodeOfRemovalIsGoneOnlyWhereTheDeviceListNoLongerHasIt) {
    struct Code {
        DWORD code;
        const char* name;
    };
    testing::FakeSetup listsIt;
    listsIt.paths = {"\\\\?\\hid#vid_046d&pid_c077#mouse", peer.path()};
    for (const bool listed : {false, true}) {
        WinHidTransport judged(listed ? listsIt.api() : SetupApi::system(),
                               WinHidTransport::kWriteLimit, standIn);
        // Not through the transport: the fixture's handle holds the pipe's one client end.
        for (const Code c : {Code{ERROR_DEVICE_NOT_CONNECTED, "ERROR_DEVICE_NOT_CONNECTED"},
                             Code{ERROR_BAD_COMMAND, "ERROR_BAD_COMMAND"},
                             Code{ERROR_GEN_FAILURE, "ERROR_GEN_FAILURE"},
                             Code{ERROR_DEVICE_REMOVED, "ERROR_DEVICE_REMOVED"},
                             Code{433, "ERROR_NO_SUCH_DEVICE"}}) {
            for (const bool later : {false, true}) {
                PipeEnd other;
                ASSERT_TRUE(other.valid());
                if (listed) listsIt.paths[1] = other.path();
                OpenError error = OpenError::Failed;
                const auto h = judged.open(other.path(), error);
                ASSERT_TRUE(h);
                ASSERT_TRUE(other.accept());
                failWith = c.code;
                failLater = later;
                EXPECT_EQ(h->write(report), listed ? WriteStatus::Refused : WriteStatus::Gone)
                    << c.name << later << listed;
                EXPECT_NE(h->failureText().find(c.name), std::string::npos) << h->failureText();
                EXPECT_NE(h->failureText().find("WriteFile"), std::string::npos);
                EXPECT_NE(h->failureText().find(listed ? "still there" : "no longer listed"),
                          std::string::npos)
                    << h->failureText();
                // A wait far longer than any test run: it must not be waited out.
                EXPECT_EQ(h->read(report, 600000ms), listed ? ReadStatus::Failed : ReadStatus::Gone)
                    << c.name << later << listed;
                EXPECT_NE(h->failureText().find("ReadFile"), std::string::npos);
                failWith = 0;
            }
        }
    }
}

// A driver that ignores the cancel: the wait still ends, the unit counts as gone, and what the
// driver may write into stays alive, owned by the process, until it ends the operation.
TEST_F(DeviceGone, AnOperationTheDriverNeverEndsIsLeftToItWithItsStorage) {
    const std::size_t keptBefore = abandonedIoCount();
    // Writes given up after 50 ms; the cancel is waited for as long as in the product.
    WinHidTransport quick(SetupApi::system(), 50ms, standIn);
    for (const bool reading : {true, false}) {
        PipeEnd other;
        ASSERT_TRUE(other.valid());
        OpenError error = OpenError::Failed;
        auto h = quick.open(other.path(), error);
        ASSERT_TRUE(h);
        ASSERT_TRUE(other.accept());
        neverEnds = true;
        const auto start = std::chrono::steady_clock::now();
        if (reading) {
            EXPECT_EQ(h->read(report, 20ms), ReadStatus::Gone);
        } else {
            EXPECT_EQ(h->write(report), WriteStatus::Gone);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, WinHidTransport::kCancelLimit + 5s);
        EXPECT_NE(h->failureText().find("after it was cancelled"), std::string::npos)
            << h->failureText();
        EXPECT_EQ(abandonedIoCount(), keptBefore + 1);
        // Gone for good: nothing more is tried on it.
        const Pending kept = pending;
        EXPECT_EQ(h->read(report, 600000ms), ReadStatus::Gone);
        EXPECT_EQ(h->write(report), WriteStatus::Gone);
        EXPECT_EQ(pending.overlapped, kept.overlapped);
        neverEnds = false;
        h.reset();

        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(pending.overlapped->hEvent, &flags));
        EXPECT_EQ(abandonedIoCount(), keptBefore + 1);
        endPendingOperation();
        EXPECT_EQ(abandonedIoCount(), keptBefore);
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
