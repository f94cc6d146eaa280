// The device link over the hidraw backend, with sockets standing in for the nodes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "link/Conversation.h"
#include "link/DeviceLink.h"
#include "link/Trace.h"
#include "tests/link/linux/FakeHidraw.h"
#include "tests/support/OneReport.h"

namespace kavo3::link {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;

constexpr Command kCheck{2, 0, 0, 0, 0, 0, 0, 0};

// No answer: every byte 0.
bool isZero(const Reply& reply) { return !reply.answered && reply.bytes == Reply{}.bytes; }

class HidrawLinkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ::signal(SIGPIPE, SIG_IGN); }

    std::string node(const std::string& name) const { return sysfs.node(name); }
    std::size_t opensOf(const std::string& name) const {
        return static_cast<std::size_t>(
            std::count(transport.opens.begin(), transport.opens.end(), node(name)));
    }

    testing::FakeSysfs sysfs;
    testing::SocketHidrawTransport transport{sysfs.sys(), sysfs.dev()};
    DeviceLink link{transport, 20ms};
};

TEST_F(HidrawLinkTest, OnlyTheThreeIdentitiesOfTheMatchTableAreUnits) {
    sysfs.addUnit("hidraw0", 0x04D8, 0x0001);
    sysfs.addUnit("hidraw1", 0x17A7, 0x0003);
    sysfs.addUnit("hidraw2", 0x17A7, 0x0000);
    sysfs.addUnit("hidraw3", 0x04D9, 0x0000);
    std::vector<UniqueFd> units;
    for (const char* n : {"hidraw0", "hidraw1", "hidraw2", "hidraw3"})
        units.push_back(transport.plug(node(n)));
    EXPECT_FALSE(link.OpenDevice());
    EXPECT_TRUE(transport.opens.empty());  // sysfs said enough: none of them is opened

    for (auto [name, vendor, product] :
         {std::tuple{"hidraw4", 0x17A7, 1}, std::tuple{"hidraw5", 0x17A7, 2},
          std::tuple{"hidraw6", 0x04D8, 0}}) {
        testing::FakeSysfs tree;
        tree.addUnit(name, static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(product));
        testing::SocketHidrawTransport t(tree.sys(), tree.dev());
        const UniqueFd unit = t.plug(tree.node(name));
        DeviceLink l(t, 20ms);
        EXPECT_TRUE(l.OpenDevice()) << name;
        EXPECT_EQ(l.DevicePath(), tree.node(name));
    }
}

TEST_F(HidrawLinkTest, OfTwoUnitsTheLowestNumberIsOpenedAndTheOtherNeverTouched) {
    sysfs.addUnit("hidraw10", 0x17A7, 1);
    sysfs.addUnit("hidraw2", 0x17A7, 2);
    const UniqueFd second = transport.plug(node("hidraw10"));
    const UniqueFd first = transport.plug(node("hidraw2"));
    ASSERT_TRUE(link.OpenDevice());
    EXPECT_EQ(link.DevicePath(), node("hidraw2"));
    EXPECT_EQ(opensOf("hidraw2"), 2u);  // writing and queries, then reading
    EXPECT_EQ(opensOf("hidraw10"), 0u);

    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(testing::receive(first).size(), 65u);
    EXPECT_TRUE(testing::nothingWaiting(second));
}

TEST_F(HidrawLinkTest, AMatchOnTheFirstInterfaceEndsTheSearch) {
    sysfs.addUnit("hidraw0", 0x04D8, 0);
    sysfs.addUnit("hidraw1", 0x046D, 0xC52B);
    const UniqueFd unit = transport.plug(node("hidraw0"));
    const UniqueFd other = transport.plug(node("hidraw1"));
    ASSERT_TRUE(link.OpenDevice());
    EXPECT_EQ(transport.opens, (std::vector<std::string>{node("hidraw0"), node("hidraw0")}));
}

TEST_F(HidrawLinkTest, ASearchAfterAFailedOneStartsOverAndFindsAUnitAddedSince) {
    sysfs.addUnit("hidraw5", 0x046D, 0xC52B);
    const UniqueFd mouse = transport.plug(node("hidraw5"));
    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(link.DeviceFound());
    EXPECT_TRUE(transport.opens.empty());

    sysfs.addUnit("hidraw6", 0x17A7, 2);
    const UniqueFd unit = transport.plug(node("hidraw6"));
    transport.opens.clear();
    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(link.DeviceFound());
    EXPECT_EQ(transport.opens.front(), node("hidraw6"));
    const Bytes sent = testing::receive(unit);
    ASSERT_EQ(sent.size(), 65u);
    EXPECT_EQ(sent[1], 2);
}

TEST_F(HidrawLinkTest, AFailedSearchLeavesNoDescriptorOpen) {
    sysfs.addUnit("hidraw0", 0x046D, 0xC52B);           // another device
    sysfs.addUnit("hidraw1", 0x17A7, 1, {0xA1, 0x01});  // unit, broken descriptor
    sysfs.addUnit("hidraw2", 0x17A7, 1, testing::vendorDescriptor(32, 64));  // reports too short
    sysfs.addUnit("hidraw3", 0x17A7, 1);                                     // refused
    sysfs.addUnit("hidraw4", 0x17A7, 1);                                     // no node at all
    const UniqueFd a = transport.plug(node("hidraw0"));
    const UniqueFd b = transport.plug(node("hidraw1"));
    const UniqueFd c = transport.plug(node("hidraw2"));
    transport.refuse(node("hidraw3"), EACCES);

    const std::size_t before = testing::openDescriptorCount();
    EXPECT_FALSE(link.OpenDevice());
    EXPECT_FALSE(link.OpenDevice());
    EXPECT_EQ(testing::openDescriptorCount(), before);
    // Neither the other device nor the unit whose descriptor says its reports are too short.
    EXPECT_EQ(transport.opens,
              (std::vector<std::string>{node("hidraw1"), node("hidraw3"), node("hidraw4"),
                                        node("hidraw1"), node("hidraw3"), node("hidraw4")}));
}

TEST_F(HidrawLinkTest, UnitsWithTooShortReportsAreNotServed) {
    struct Case {
        std::uint8_t in, out;
        bool served;
    };
    for (const Case c : {Case{64, 8, true}, Case{64, 7, false}, Case{63, 64, false}}) {
        testing::FakeSysfs tree;
        tree.addUnit("hidraw0", 0x17A7, 1, testing::vendorDescriptor(c.in, c.out));
        testing::SocketHidrawTransport t(tree.sys(), tree.dev());
        const UniqueFd unit = t.plug(tree.node("hidraw0"));
        DeviceLink l(t, 20ms);
        EXPECT_EQ(l.OpenDevice(), c.served) << int(c.in) << "/" << int(c.out);
        kavo3::testing::sendOne(l, {2, 0, 0, 0, 0, 0, 0, 0});
        if (c.served) {
            EXPECT_EQ(testing::receive(unit).size(), c.out + 1u);
        } else {
            EXPECT_TRUE(testing::nothingWaiting(unit));
        }
    }
}

class OpenUnitTest : public HidrawLinkTest {
  protected:
    void SetUp() override {
        sysfs.addUnit("hidraw0", 0x17A7, 1);
        unit = transport.plug(node("hidraw0"));
        ASSERT_TRUE(link.OpenDevice());
    }
    UniqueFd unit;
};

TEST_F(OpenUnitTest, TheOutputReportOnTheWireIsIdZeroTheEightBytesAndZeros) {
    kavo3::testing::sendOne(link, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    kavo3::testing::sendOne(link, {0x11, 0x00, 0x20, 0x01, 0x80, 0x02, 0x00, 0x07});
    EXPECT_EQ(testing::receive(unit).size(), 65u);
    Bytes expected(65, 0);
    const Bytes command{0x11, 0x00, 0x20, 0x01, 0x80, 0x02, 0x00, 0x07};
    std::copy(command.begin(), command.end(), expected.begin() + 1);
    EXPECT_EQ(testing::receive(unit), expected);
}

TEST_F(OpenUnitTest, ACommandThatSetsOnlyByteZeroSendsTheRestAsTheLastOneLeftIt) {
    Conversation talk(link);
    talk.send({0x11, 0x00, 0x20, 0x01, 9, 8, 7, 6});
    talk.send(talk.following(0x12));
    const Bytes first = testing::receive(unit);
    const Bytes second = testing::receive(unit);
    ASSERT_EQ(second.size(), 65u);
    EXPECT_EQ(second[1], 0x12);
    EXPECT_TRUE(std::equal(first.begin() + 2, first.end(), second.begin() + 2));
    EXPECT_EQ(second[3], 0x20);
}

TEST_F(OpenUnitTest, AnAnswerLandsAfterTheIdByteAndAnEmptyWaitLeavesZeros) {
    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    testing::send(unit, testing::unnumberedInput(1));
    const Reply answer = kavo3::testing::readOne(link);
    EXPECT_TRUE(answer.answered);
    EXPECT_EQ(answer[1], 1);
    EXPECT_EQ(answer[64], 64);

    EXPECT_TRUE(isZero(kavo3::testing::exchangeOne(link, kCheck)));  // no answer this time
}

TEST_F(OpenUnitTest, AnAnswerAfterItsWaitIsDroppedNotTakenForTheNextOne) {
    Conversation talk(link);
    EXPECT_TRUE(isZero(talk.exchange(kCheck)));  // the unit is slow: the wait ends empty
    testing::send(unit, testing::unnumberedInput(0xA0));  // the late answer

    talk.send(talk.following(0x14));
    testing::send(unit, testing::unnumberedInput(0x30));  // the answer to 0x14
    EXPECT_EQ(talk.read()[1], 0x30);

    testing::send(unit, testing::unnumberedInput(0xB0));  // late again, nothing sent after
    EXPECT_TRUE(isZero(talk.exchange(kCheck)));
}

TEST_F(OpenUnitTest, ASilentUnitKeepsItsHandlesAndEveryReadWaits) {
    transport.opens.clear();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) kavo3::testing::exchangeOne(link, kCheck);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);  // three waits of 20 ms
    EXPECT_TRUE(link.DeviceFound());
    EXPECT_TRUE(transport.opens.empty());  // never searched again
}

// The unit's node hangs up; a unit plugged in again comes back at another node.
class ReplugTest : public OpenUnitTest {
  protected:
    std::vector<std::string> traceLines() const {
        std::ifstream in(tracePath);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool traced(const std::string& part) const {
        const auto lines = traceLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }

    std::string tracePath = sysfs.dev() + "/trace.txt";
    std::unique_ptr<Trace> trace = Trace::open(tracePath);
    // The product's wait: a read that waited it out would show at once.
    DeviceLink slowLink{transport, 10s, trace.get()};
};

TEST_F(ReplugTest, AnUnpluggedUnitIsClosedAndReadsEndAtOnceUntilItIsBack) {
    ASSERT_TRUE(slowLink.OpenDevice());
    unit.reset();
    sysfs.remove("hidraw0");
    const std::size_t descriptors = testing::openDescriptorCount();
    transport.opens.clear();

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        const Command bytes{static_cast<std::uint8_t>(i), 0, 0, 0, 0, 0, 0, 0};
        EXPECT_TRUE(isZero(kavo3::testing::exchangeOne(slowLink, bytes)));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(slowLink.DeviceFound());
    EXPECT_EQ(testing::openDescriptorCount(), descriptors - 2);
    EXPECT_TRUE(transport.opens.empty());  // nothing listed to open: searched, found nothing
    EXPECT_TRUE(traced("is gone"));
    EXPECT_TRUE(traced("search: no unit found"));

    sysfs.addUnit("hidraw1", 0x17A7, 1);
    const UniqueFd back = transport.plug(node("hidraw1"));
    kavo3::testing::sendOne(slowLink, {0x13, 0x1B, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(slowLink.DeviceFound());
    EXPECT_EQ(slowLink.DevicePath(), node("hidraw1"));
    const Bytes sent = testing::receive(back);
    ASSERT_EQ(sent.size(), 65u);
    EXPECT_EQ(sent[1], 0x13);
    EXPECT_EQ(sent[2], 0x1B);
    testing::send(back, testing::unnumberedInput(0x40));
    EXPECT_EQ(kavo3::testing::readOne(slowLink)[1], 0x40);
}

TEST_F(ReplugTest, AWriteTheNodeRefusesIsTracedWithItsReasonAndAGoneOneClosesTheUnit) {
    ASSERT_TRUE(slowLink.OpenDevice());
    transport.faults.writeError = EAGAIN;
    kavo3::testing::sendOne(slowLink, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(slowLink.DeviceFound());
    transport.faults.writeError = ENODEV;
    sysfs.remove("hidraw0");  // the device has left the system
    kavo3::testing::sendOne(slowLink, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(slowLink.DeviceFound());

    const auto lines = traceLines();
    std::vector<std::string> afterOut;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].find(" OUT ") != std::string::npos) afterOut.push_back(lines[i + 1]);
    ASSERT_EQ(afterOut.size(), 2u);
    EXPECT_NE(afterOut[0].find("# write refused: "), std::string::npos) << afterOut[0];
    EXPECT_NE(afterOut[0].find("EAGAIN"), std::string::npos) << afterOut[0];
    EXPECT_NE(afterOut[1].find("# write refused: "), std::string::npos) << afterOut[1];
    EXPECT_NE(afterOut[1].find("ENODEV"), std::string::npos) << afterOut[1];
    // After the refusal: the key's sequence then searches afresh and finds nothing.
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "# unit at " + node("hidraw0") +
                            " is gone: both handles closed, the next write searches again"),
              lines.end());
}

TEST_F(ReplugTest, AUnitRefusedAfterAReplugIsNamedInTheTraceAndOnceOnStandardError) {
    ASSERT_TRUE(slowLink.OpenDevice());
    unit.reset();
    sysfs.remove("hidraw0");
    kavo3::testing::exchangeOne(slowLink, kCheck);  // the loss is noticed
    ASSERT_FALSE(slowLink.DeviceFound());

    sysfs.addUnit("hidraw2", 0x17A7, 2);  // back, but the node belongs to root
    transport.refuse(node("hidraw2"), EACCES);
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) kavo3::testing::exchangeOne(slowLink, kCheck);
    const std::string stderrText = ::testing::internal::GetCapturedStderr();

    EXPECT_FALSE(slowLink.DeviceFound());
    EXPECT_NE(slowLink.unitProblem().find(node("hidraw2")), std::string::npos);
    EXPECT_TRUE(traced("The KAVO-3 at " + node("hidraw2") + " cannot be opened"));
    EXPECT_TRUE(traced("70-kavo3.rules"));
    const auto told = [&](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = stderrText.find(text); at != std::string::npos;
             at = stderrText.find(text, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(told(node("hidraw2")), 1u) << stderrText;  // not once per write
    EXPECT_EQ(told("70-kavo3.rules"), 1u);
}

TEST_F(ReplugTest, AKeyboardAndAMouseListedBeforeTheUnitAreNeverOpenedAndTheTraceSaysWhy) {
    sysfs.remove("hidraw0");
    sysfs.addUnit("hidraw0", 0x046D, 0xC31C);  // keyboard
    sysfs.addUnit("hidraw1", 0x046D, 0xC077);  // mouse
    sysfs.addUnit("hidraw2", 0x17A7, 1);
    const UniqueFd keyboard = transport.plug(node("hidraw0"));
    const UniqueFd mouse = transport.plug(node("hidraw1"));
    const UniqueFd back = transport.plug(node("hidraw2"));
    transport.opens.clear();
    ASSERT_TRUE(slowLink.OpenDevice());
    EXPECT_EQ(transport.opens, (std::vector<std::string>{node("hidraw2"), node("hidraw2")}));
    EXPECT_TRUE(traced(node("hidraw0") + ": 046d:c31c is not a unit, passed over unopened"));
    EXPECT_TRUE(traced(node("hidraw1") + ": 046d:c077 is not a unit, passed over unopened"));
}

// A write the unit did not take cannot be answered: the read after it ends at once, the trace
// says why, and the unit, still attached, keeps its handles.
TEST_F(ReplugTest, AWriteNotTakenMakesTheNextReadEndAtOnceAndKeepsTheUnit) {
    ASSERT_TRUE(slowLink.OpenDevice());  // reads wait 10 s
    struct Case {
        int error;
        std::chrono::milliseconds blocks;
    };
    // The kernel's own limit on a write ends with ETIMEDOUT; EIO may come from a failed transfer.
    for (const Case c : {Case{ETIMEDOUT, 50ms}, Case{EIO, 0ms}}) {
        transport.faults.writeError = c.error;
        transport.faults.writeBlocks = c.blocks;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(kavo3::testing::sendOne(slowLink, kCheck));
        kavo3::testing::readOne(slowLink);
        const Reply second = kavo3::testing::readOne(slowLink);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.error;
        EXPECT_TRUE(isZero(second));
        EXPECT_TRUE(slowLink.DeviceFound()) << c.error;
    }
    EXPECT_TRUE(traced("still there"));
    EXPECT_TRUE(traced("# read: not waited for, the write before it was not taken"));

    transport.faults = {};
    EXPECT_TRUE(kavo3::testing::sendOne(slowLink, kCheck));
    EXPECT_EQ(testing::receive(unit).size(), 65u);
    testing::send(unit, testing::unnumberedInput(0x21));
    EXPECT_EQ(kavo3::testing::readOne(slowLink)[1], 0x21);
}

TEST_F(ReplugTest, AStallingUnitIsToldToBeReplugged) {
    ASSERT_TRUE(slowLink.OpenDevice());
    std::vector<std::string> shown;
    slowLink.setProblemListener([&](const std::string& problem) { shown.push_back(problem); });
    transport.faults.writeError = EPIPE;
    ::testing::internal::CaptureStderr();
    kavo3::testing::sendOne(slowLink, kCheck);
    const bool taken = kavo3::testing::sendOne(slowLink, kCheck);
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(taken);
    EXPECT_TRUE(slowLink.DeviceFound());
    const std::string& problem = slowLink.unitProblem();
    EXPECT_NE(problem.find("unplug it and plug it in again"), std::string::npos);
    EXPECT_TRUE(traced(problem));
    EXPECT_EQ(stderrText, problem + "\n");  // once, not once per write
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), problem);
}

// One program per unit: a second program (another process) finds the node held, sends
// nothing, and names the holder; once that program has ended the node is free.
TEST_F(HidrawLinkTest, ANodeHeldByAnotherProgramIsInUseAndNothingReachesIt) {
    sysfs.addUnit("hidraw4", 0x17A7, 1);
    const std::string nodeFile = node("hidraw4");
    std::ofstream(nodeFile) << "";  // a plain file as the node: what is written stays in it
    int held[2], release[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        HidrawTransport theirs(sysfs.sys(), sysfs.dev());
        DeviceLink theirLink(theirs, 20ms);
        const char found = theirLink.OpenDevice() ? 'y' : 'n';  // both opens share one hold
        char c = 0;
        if (::write(held[1], &found, 1) != 1 || ::read(release[0], &c, 1) != 1) ::_exit(2);
        ::_exit(0);
    }
    char found = 0;
    ASSERT_EQ(::read(held[0], &found, 1), 1);
    ASSERT_EQ(found, 'y');

    HidrawTransport ours(sysfs.sys(), sysfs.dev());
    DeviceLink link(ours, 20ms);
    ::testing::internal::CaptureStderr();
    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    kavo3::testing::readOne(link);
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(link.DeviceFound());
    const std::string expected = "The KAVO-3 at " + nodeFile +
                                 " is in use by another program (PID " + std::to_string(holder) +
                                 ")";
    EXPECT_EQ(link.unitProblem().rfind(expected, 0), 0u) << link.unitProblem();
    EXPECT_NE(stderrText.find(expected), std::string::npos) << stderrText;
    EXPECT_EQ(std::filesystem::file_size(nodeFile), 0u);

    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    EXPECT_EQ(status, 0);
    for (int fd : {held[0], held[1], release[0], release[1]}) ::close(fd);

    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(link.DeviceFound());
    EXPECT_TRUE(link.unitProblem().empty());
    EXPECT_EQ(std::filesystem::file_size(nodeFile), 65u);
}

TEST(HidrawLinkNumbered, NumberedInputReportsKeepTheirOwnIdByte) {
    testing::FakeSysfs tree;
    tree.addUnit("hidraw0", 0x17A7, 2, testing::numberedDescriptor());
    testing::SocketHidrawTransport t(tree.sys(), tree.dev());
    const UniqueFd unit = t.plug(tree.node("hidraw0"));
    DeviceLink link(t, 20ms);
    ASSERT_TRUE(link.OpenDevice());
    kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(testing::receive(unit)[0], 0);  // output reports carry ID 0 all the same

    Bytes report = testing::unnumberedInput(5);
    report.insert(report.begin(), 0x01);
    testing::send(unit, report);
    const Reply reply = kavo3::testing::readOne(link);
    EXPECT_TRUE(reply.answered);
    EXPECT_TRUE(std::equal(reply.bytes.begin(), reply.bytes.end(), report.begin() + 1));
}

TEST_F(HidrawLinkTest, AUnitRefusedForLackOfPermissionNamesTheUdevRule) {
    sysfs.addUnit("hidraw0", 0x046D, 0xC52B);
    sysfs.addUnit("hidraw1", 0x17A7, 1);
    transport.refuse(node("hidraw0"), EACCES);
    transport.refuse(node("hidraw1"), EACCES);
    EXPECT_FALSE(link.OpenDevice());
    const std::string& problem = link.unitProblem();
    EXPECT_NE(problem.find(node("hidraw1")), std::string::npos);
    EXPECT_NE(problem.find("70-kavo3.rules"), std::string::npos);
    EXPECT_EQ(problem.find(node("hidraw0")), std::string::npos);
}

}  // namespace
}  // namespace kavo3::link
