// The HID interfaces this machine really has (Wine offers a virtual mouse and keyboard):
// the queries and a timed-out read on a genuine HID handle. Skipped where none can be opened.

#include <gtest/gtest.h>

#include "link/windows/HandleCount.h"
#include "link/windows/WinHidTransport.h"

namespace kavo3::link::windows {
namespace {

using namespace std::chrono_literals;

TEST(PresentInterfaces, AnswerTheQueriesAndAReadWithNothingToReadTimesOut) {
    WinHidTransport transport;
    const std::size_t before = countOpenHandles();
    int examined = 0;
    for (const InterfaceEntry& entry : transport.listInterfaces()) {
        OpenError error = OpenError::None;
        auto handle = transport.open(entry.path, error);
        if (!handle) continue;  // kept by the system, as keyboards are on Windows
        ++examined;

        const auto attributes = handle->attributes();
        ASSERT_TRUE(attributes) << entry.path;
        if (entry.listedIdentity) {
            EXPECT_EQ(attributes->VendorID, entry.listedIdentity->VendorID) << entry.path;
            EXPECT_EQ(attributes->ProductID, entry.listedIdentity->ProductID) << entry.path;
        }
        const auto caps = handle->capabilities();
        ASSERT_TRUE(caps) << entry.path;
        if (caps->InputReportByteLength == 0) continue;

        handle->discardQueuedInput();
        std::vector<std::uint8_t> buffer(caps->InputReportByteLength, 0xAA);
        const ReadStatus status = handle->read(buffer, 20ms);
        EXPECT_NE(status, ReadStatus::Failed) << entry.path;
        if (status == ReadStatus::Timeout) {
            EXPECT_EQ(buffer, std::vector<std::uint8_t>(buffer.size(), 0xAA)) << entry.path;
        }
    }
    if (examined == 0) GTEST_SKIP() << "no HID interface here can be opened";
    // No SCOPED_TRACE above: on first use it makes the threads library keep a handle.
    EXPECT_EQ(countOpenHandles(), before);
}

}  // namespace
}  // namespace kavo3::link::windows
