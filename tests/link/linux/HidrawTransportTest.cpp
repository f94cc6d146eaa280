#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/time.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "link/linux/HidrawTransport.h"
#include "tests/link/linux/FakeHidraw.h"

namespace kavo3::link {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::FakeSysfs;
using testing::SocketHidrawTransport;

std::chrono::nanoseconds threadCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

class HidrawTest : public ::testing::Test {
  protected:
    // A write to a unit that hung up must fail, not kill the test with SIGPIPE.
    static void SetUpTestSuite() { ::signal(SIGPIPE, SIG_IGN); }

    std::unique_ptr<HidHandle> openHandle(const std::string& name) {
        OpenError error = OpenError::None;
        auto handle = transport.open(sysfs.node(name), error);
        EXPECT_EQ(error, OpenError::None);
        return handle;
    }

    FakeSysfs sysfs;
    SocketHidrawTransport transport{sysfs.sys(), sysfs.dev()};
};

TEST_F(HidrawTest, ListsEveryHidrawNodeByNumberWithItsSysfsIdentity) {
    sysfs.add("hidraw10", testing::uevent(0x17A7, 0x0002), {});
    sysfs.add("hidraw2", "HID_ID=0005:046D:B023\nHID_NAME=Short form\n", {});
    sysfs.add("hidraw0", testing::uevent(0x04D8, 0x0000), {});
    sysfs.add("hidraw7", "DRIVER=hid-generic\n", {});  // no HID_ID line
    sysfs.add("hidrawx", testing::uevent(0x17A7, 1), {});
    sysfs.add("event3", testing::uevent(0x17A7, 1), {});

    const auto list = transport.listInterfaces();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].path, sysfs.node("hidraw0"));
    EXPECT_EQ(list[1].path, sysfs.node("hidraw2"));
    EXPECT_EQ(list[2].path, sysfs.node("hidraw7"));
    EXPECT_EQ(list[3].path, sysfs.node("hidraw10"));
    ASSERT_TRUE(list[0].listedIdentity && list[1].listedIdentity && list[3].listedIdentity);
    EXPECT_EQ(list[0].listedIdentity->VendorID, 0x04D8);
    EXPECT_EQ(list[0].listedIdentity->ProductID, 0x0000);
    EXPECT_EQ(list[1].listedIdentity->VendorID, 0x046D);
    EXPECT_EQ(list[1].listedIdentity->ProductID, 0xB023);
    EXPECT_FALSE(list[2].listedIdentity);
    EXPECT_EQ(list[3].listedIdentity->VendorID, 0x17A7);
    EXPECT_EQ(list[3].listedIdentity->ProductID, 0x0002);
    EXPECT_TRUE(transport.opens.empty());  // listing opens no node
}

TEST_F(HidrawTest, IdentitiesThatAreNotSixteenBitHexAreNotListed) {
    sysfs.add("hidraw0", "HID_ID=0003:000117A7:0001\n", {});    // vendor beyond 16 bits
    sysfs.add("hidraw1", "HID_ID=0003:17A7\n", {});             // product missing
    sysfs.add("hidraw2", "HID_ID=0003:17G7:0001\n", {});        // not hex
    sysfs.add("hidraw3", "HID_ID=0003:000017a7:00000001", {});  // lower case, no newline
    const auto list = transport.listInterfaces();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_FALSE(list[0].listedIdentity);
    EXPECT_FALSE(list[1].listedIdentity);
    EXPECT_FALSE(list[2].listedIdentity);
    ASSERT_TRUE(list[3].listedIdentity);
    EXPECT_EQ(list[3].listedIdentity->VendorID, 0x17A7);
}

TEST_F(HidrawTest, NoHidrawClassListsNothing) {
    HidrawTransport missing(sysfs.sys() + "/nowhere", sysfs.dev());
    EXPECT_TRUE(missing.listInterfaces().empty());
}

TEST_F(HidrawTest, OpenedNodeAnswersWithItsSysfsIdentityAndReportLengths) {
    sysfs.addUnit("hidraw3", 0x17A7, 0x0001, testing::vendorDescriptor(64, 8));
    const UniqueFd unit = transport.plug(sysfs.node("hidraw3"));
    const auto handle = openHandle("hidraw3");
    ASSERT_TRUE(handle);
    const auto attributes = handle->attributes();
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->VendorID, 0x17A7);
    EXPECT_EQ(attributes->ProductID, 0x0001);
    const auto caps = handle->capabilities();
    ASSERT_TRUE(caps);
    EXPECT_EQ(caps->InputReportByteLength, 65);
    EXPECT_EQ(caps->OutputReportByteLength, 9);
}

TEST_F(HidrawTest, UnreadableOrMalformedDescriptorGivesNoCapabilities) {
    sysfs.addUnit("hidraw0", 0x17A7, 1, {0xA1, 0x01, 0x81});
    sysfs.add("hidraw1", testing::uevent(0x17A7, 1), {});
    std::filesystem::remove(sysfs.sys() + "/class/hidraw/hidraw1/device/report_descriptor");
    const UniqueFd a = transport.plug(sysfs.node("hidraw0"));
    const UniqueFd b = transport.plug(sysfs.node("hidraw1"));
    EXPECT_FALSE(openHandle("hidraw0")->capabilities());
    EXPECT_FALSE(openHandle("hidraw1")->capabilities());
}

TEST_F(HidrawTest, RefusedOpenIsNotPermittedAnyOtherFailureIsFailed) {
    OpenError error = OpenError::None;
    transport.refuse(sysfs.node("hidraw0"), EACCES);
    EXPECT_FALSE(transport.open(sysfs.node("hidraw0"), error));
    EXPECT_EQ(error, OpenError::NotPermitted);
    transport.refuse(sysfs.node("hidraw1"), EPERM);
    EXPECT_FALSE(transport.open(sysfs.node("hidraw1"), error));
    EXPECT_EQ(error, OpenError::NotPermitted);
    transport.refuse(sysfs.node("hidraw2"), EBUSY);
    EXPECT_FALSE(transport.open(sysfs.node("hidraw2"), error));
    EXPECT_EQ(error, OpenError::Failed);
    // No seam for hidraw3: the real open(2) finds no node there.
    EXPECT_FALSE(transport.open(sysfs.node("hidraw3"), error));
    EXPECT_EQ(error, OpenError::Failed);
}

TEST_F(HidrawTest, RealOpenOfTheNodeUnderTheDevRoot) {
    sysfs.addUnit("hidraw4", 0x04D8, 0x0000);
    std::ofstream(sysfs.node("hidraw4")) << "";
    HidrawTransport real(sysfs.sys(), sysfs.dev());
    OpenError error = OpenError::Failed;
    const auto handle = real.open(sysfs.node("hidraw4"), error);
    ASSERT_TRUE(handle);
    EXPECT_EQ(error, OpenError::None);
    ASSERT_TRUE(handle->attributes());
    EXPECT_EQ(handle->attributes()->VendorID, 0x04D8);
    EXPECT_NE(real.permissionHint().find("70-kavo3.rules"), std::string::npos);
    EXPECT_NE(real.permissionHint().find("udevadm control --reload"), std::string::npos);
    EXPECT_NE(real.permissionHint().find("/etc/udev/rules.d"), std::string::npos);
}

TEST_F(HidrawTest, WriteSendsTheWholeReportAsGivenInOnePiece) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");
    Bytes report(65, 0);
    report[1] = 0x02;
    report[64] = 0xEE;
    EXPECT_EQ(handle->write(report), WriteStatus::Taken);
    EXPECT_EQ(testing::receive(unit), report);
    EXPECT_TRUE(testing::nothingWaiting(unit));
}

TEST_F(HidrawTest, UnnumberedInputGetsTheIdByteInFrontNumberedInputIsCopiedAsItCame) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    sysfs.addUnit("hidraw1", 0x17A7, 1, testing::numberedDescriptor());
    const UniqueFd plain = transport.plug(sysfs.node("hidraw0"));
    const UniqueFd numbered = transport.plug(sysfs.node("hidraw1"));

    Bytes buffer(65, 0xAA);
    testing::send(plain, testing::unnumberedInput(1));
    ASSERT_EQ(openHandle("hidraw0")->read(buffer, 1000ms), ReadStatus::Report);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 1);
    EXPECT_EQ(buffer[64], 64);

    Bytes report = testing::unnumberedInput(10);
    report.insert(report.begin(), 0x01);
    testing::send(numbered, report);
    ASSERT_EQ(openHandle("hidraw1")->read(buffer, 1000ms), ReadStatus::Report);
    EXPECT_EQ(buffer, report);
}

TEST_F(HidrawTest, ReadWithNothingQueuedTimesOutAndLeavesTheBuffer) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    Bytes buffer(65, 0x55);
    EXPECT_EQ(openHandle("hidraw0")->read(buffer, 20ms), ReadStatus::Timeout);
    EXPECT_EQ(buffer, Bytes(65, 0x55));
}

TEST_F(HidrawTest, DiscardThrowsAwayEverythingQueuedAndNothingLater) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");
    for (std::uint8_t i = 0; i < 5; ++i) testing::send(unit, testing::unnumberedInput(i));
    handle->discardQueuedInput();
    Bytes buffer(65, 0);
    EXPECT_EQ(handle->read(buffer, 20ms), ReadStatus::Timeout);

    testing::send(unit, testing::unnumberedInput(9));
    EXPECT_EQ(handle->read(buffer, 1000ms), ReadStatus::Report);
    EXPECT_EQ(buffer[1], 9);
}

void onAlarm(int) {}

TEST_F(HidrawTest, ASignalDoesNotCutTheWaitShort) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");

    struct sigaction action {};
    action.sa_handler = onAlarm;  // no SA_RESTART: poll() ends with EINTR
    struct sigaction previous {};
    ::sigaction(SIGALRM, &action, &previous);
    itimerval every5ms{{0, 5000}, {0, 5000}};
    ::setitimer(ITIMER_REAL, &every5ms, nullptr);

    Bytes buffer(65, 0);
    const auto start = std::chrono::steady_clock::now();
    const ReadStatus status = handle->read(buffer, 60ms);
    const auto waited = std::chrono::steady_clock::now() - start;

    itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(status, ReadStatus::Timeout);
    EXPECT_GE(waited, 60ms);
}

TEST_F(HidrawTest, AVanishedUnitIsGoneAtOnceForEveryLaterCallWithoutSpinning) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");
    unit.reset();  // unplugged: the node hangs up

    Bytes buffer(65, 0x55);
    const auto cpuBefore = threadCpuTime();
    const auto start = std::chrono::steady_clock::now();
    // A wait of ten seconds each: none of them may be waited out.
    EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Gone);
    EXPECT_NE(handle->failureText().find("hung up"), std::string::npos);
    handle->discardQueuedInput();
    EXPECT_EQ(handle->write(Bytes(65, 0)), WriteStatus::Gone);
    EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Gone);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_LT(threadCpuTime() - cpuBefore, 200ms);
    EXPECT_EQ(buffer, Bytes(65, 0x55));
}

TEST_F(HidrawTest, AHangUpSeenByTheDrainMakesTheWriteGoneWithoutTryingIt) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");
    transport.faults.pollFlags = POLLHUP;
    handle->discardQueuedInput();
    transport.faults.pollFlags = 0;
    EXPECT_EQ(handle->write(Bytes(65, 0)), WriteStatus::Gone);
    EXPECT_TRUE(testing::nothingWaiting(unit));
}

// Every code a disconnect may bring is judged by the system: gone only once the node hangs up
// or its sysfs entry has gone; with the device still there the call has merely failed and the
// handle serves on.
TEST_F(HidrawTest, ADisconnectCodeIsGoneOnlyWhereTheDeviceHasLeft) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    Bytes buffer(65, 0);
    enum class Left { No, SysfsEntryRemoved, NodeHungUp };
    for (const int error : {ENODEV, EIO, EPROTO, EILSEQ, ETIME, ESHUTDOWN}) {
        for (const Left left : {Left::No, Left::SysfsEntryRemoved, Left::NodeHungUp}) {
            SCOPED_TRACE(std::string(::strerrorname_np(error)) + " left " +
                         std::to_string(static_cast<int>(left)));
            const auto handle = openHandle("hidraw0");
            if (left == Left::SysfsEntryRemoved) sysfs.remove("hidraw0");
            if (left == Left::NodeHungUp) transport.faults.pollFlags = POLLHUP;
            const bool gone = left != Left::No;

            transport.faults.writeError = error;
            EXPECT_EQ(handle->write(Bytes(65, 0)), gone ? WriteStatus::Gone : WriteStatus::Refused);
            EXPECT_NE(handle->failureText().find(::strerrorname_np(error)), std::string::npos)
                << handle->failureText();
            EXPECT_NE(handle->failureText().find(gone ? "the device" : "still there"),
                      std::string::npos)
                << handle->failureText();

            if (!gone) {
                transport.faults = {};
                transport.faults.readError = error;
                testing::send(unit, testing::unnumberedInput(1));  // poll sees input, read fails
                EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Failed);
                EXPECT_NE(handle->failureText().find("read"), std::string::npos);
                transport.faults = {};
                handle->discardQueuedInput();
                EXPECT_EQ(handle->write(Bytes(65, 0)), WriteStatus::Taken);
                EXPECT_EQ(testing::receive(unit).size(), 65u);
            } else {
                // Once gone, it stays gone without asking the node again.
                transport.faults = {};
                EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Gone);
                EXPECT_EQ(handle->write(Bytes(65, 0)), WriteStatus::Gone);
            }
            transport.faults = {};
            sysfs.addUnit("hidraw0", 0x17A7, 1);
        }
    }
    // A read that fails while the device is leaving is gone as well.
    const auto handle = openHandle("hidraw0");
    sysfs.remove("hidraw0");
    transport.faults.readError = EPROTO;
    testing::send(unit, testing::unnumberedInput(1));
    EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Gone);
    EXPECT_NE(handle->failureText().find("no longer listed"), std::string::npos);
    transport.faults = {};
    handle->discardQueuedInput();
    EXPECT_TRUE(testing::nothingWaiting(unit));
}

// A hang-up reported by poll needs no error code to mean gone.
TEST_F(HidrawTest, AHangUpIsGone) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    Bytes buffer(65, 0);
    for (const short flags : {short(POLLHUP), short(POLLERR), short(POLLHUP | POLLERR)}) {
        transport.faults = {};
        transport.faults.pollFlags = flags;
        const auto handle = openHandle("hidraw0");
        EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Gone) << flags;
        EXPECT_EQ(handle->write(Bytes(65, 0)), WriteStatus::Gone) << flags;
    }
    transport.faults = {};
    EXPECT_TRUE(testing::nothingWaiting(unit));
}

TEST_F(HidrawTest, AStalledEndpointIsTriedThreeTimesThenSaidToStall) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");
    transport.faults.writeError = EPIPE;
    transport.faults.writeErrors = 2;  // a stall the next try gets past
    EXPECT_EQ(handle->write(Bytes(65, 1)), WriteStatus::Taken);
    EXPECT_EQ(transport.faults.writeCalls, 3);
    EXPECT_EQ(testing::receive(unit), Bytes(65, 1));

    transport.faults.writeErrors = -1;  // one that stays
    transport.faults.writeCalls = 0;
    EXPECT_EQ(handle->write(Bytes(65, 2)), WriteStatus::Stalled);
    EXPECT_EQ(transport.faults.writeCalls, 3);
    EXPECT_NE(handle->failureText().find("EPIPE"), std::string::npos);
    EXPECT_NE(handle->failureText().find("stalls"), std::string::npos);
    EXPECT_TRUE(testing::nothingWaiting(unit));
}

// hidraw keeps 64 input reports per open and drops what comes while the list is full: a stall
// of the reader longer than that loses the end of a capture line (93 reports).
TEST_F(HidrawTest, AFullQueueDropsTheNewestReports) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");
    transport.faults.queueLimit = 64;
    for (int i = 0; i < 93; ++i)
        testing::send(unit, testing::unnumberedInput(static_cast<std::uint8_t>(i)));
    Bytes buffer(65, 0);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(handle->read(buffer, 1000ms), ReadStatus::Report) << i;
        EXPECT_EQ(buffer[1], i);
    }
    EXPECT_EQ(handle->read(buffer, 20ms), ReadStatus::Timeout);
}

TEST_F(HidrawTest, ReportsQueuedBeforeTheHangUpAreStillHandedOver) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const auto handle = openHandle("hidraw0");
    testing::send(unit, testing::unnumberedInput(3));
    transport.faults.pollFlags = POLLHUP | POLLERR;
    Bytes buffer(65, 0);
    EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Report);
    EXPECT_EQ(buffer[1], 3);
    EXPECT_EQ(handle->read(buffer, 10s), ReadStatus::Gone);
}

TEST_F(HidrawTest, HandleClosesItsDescriptor) {
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    const UniqueFd unit = transport.plug(sysfs.node("hidraw0"));
    const std::size_t before = testing::openDescriptorCount();
    {
        const auto handle = openHandle("hidraw0");
        (void)handle->capabilities();
        // The node, and the copy of it that keeps this program's lock on the node.
        EXPECT_EQ(testing::openDescriptorCount(), before + 2);
        const auto second = openHandle("hidraw0");  // shares the lock
        EXPECT_EQ(testing::openDescriptorCount(), before + 3);
    }
    EXPECT_EQ(testing::openDescriptorCount(), before);
}

// The USB device's strings come from the folder above the HID device that has idVendor, as
// the kernel lays out a USB HID interface; a node without one describes nothing.
TEST_F(HidrawTest, DescribesTheUsbDeviceAboveTheHidDevice) {
    namespace fs = std::filesystem;
    const fs::path usb = fs::path(sysfs.sys()) / "devices" / "usb1" / "1-2";
    const fs::path hid = usb / "1-2:1.0" / "0003:17A7:0001.0004";
    fs::create_directories(hid);
    std::ofstream(usb / "idVendor") << "17a7\n";
    std::ofstream(usb / "bcdDevice") << "0203\n";
    std::ofstream(usb / "manufacturer") << "Maker\n";
    std::ofstream(usb / "product") << "KAVO-3\n";
    const fs::path entry = fs::path(sysfs.sys()) / "class" / "hidraw" / "hidraw3";
    fs::create_directories(entry);
    fs::create_directory_symlink(hid, entry / "device");
    sysfs.addUnit("hidraw4", 0x17A7, 1);

    const UsbDescription described = transport.describe(sysfs.node("hidraw3"));
    EXPECT_EQ(described.version, 0x0203);
    EXPECT_EQ(described.manufacturer, "Maker");
    EXPECT_EQ(described.product, "KAVO-3");
    EXPECT_EQ(described.serial, "");  // no serial file: the device has none
    const UsbDescription bare = transport.describe(sysfs.node("hidraw4"));
    EXPECT_FALSE(bare.version);
    EXPECT_EQ(bare.product, "");
}

}  // namespace
}  // namespace kavo3::link
