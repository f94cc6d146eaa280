#include <gtest/gtest.h>

#include "link/Conversation.h"
#include "link/DeviceLink.h"
#include "link/LinkHold.h"
#include "link/ProgramName.h"
#include "link/testing/FakeTransport.h"
#include "tests/support/OneReport.h"

namespace kavo3::link {
namespace {

using testing::FakeInterface;
using testing::FakeTransport;
using namespace std::chrono_literals;
using kavo3::testing::exchangeOne;
using kavo3::testing::readOne;
using kavo3::testing::sendOne;

constexpr Command kCheck{2, 0, 0, 0, 0, 0, 0, 0};

FakeInterface device(std::string path, std::uint16_t vid, std::uint16_t pid) {
    FakeInterface i;
    i.path = std::move(path);
    i.attributes.VendorID = vid;
    i.attributes.ProductID = pid;
    return i;
}

std::vector<std::uint8_t> answer(std::initializer_list<std::uint8_t> bytes) {
    std::vector<std::uint8_t> r(65, 0);
    std::size_t i = 1;
    for (auto b : bytes) r[i++] = b;
    return r;
}

TEST(MatchTable, AcceptsExactlyTheThreeIdentities) {
    EXPECT_TRUE(isKavo3Identity(0x17A7, 1));
    EXPECT_TRUE(isKavo3Identity(0x17A7, 2));
    EXPECT_TRUE(isKavo3Identity(0x04D8, 0));
    EXPECT_FALSE(isKavo3Identity(0x17A7, 0));
    EXPECT_FALSE(isKavo3Identity(0x17A7, 3));
    EXPECT_FALSE(isKavo3Identity(0x04D8, 1));
    EXPECT_FALSE(isKavo3Identity(0x04D8, 0xFFFF));
    EXPECT_FALSE(isKavo3Identity(0x0000, 0x0000));
}

TEST(OpenDevice, FindsTheUnitAmongOtherInterfacesAndOpensItTwice) {
    FakeTransport t;
    t.interfaces = {device("a", 0x046D, 0xC077), device("b", 0x04D8, 0x0001),
                    device("c", 0x04D8, 0x0000)};
    DeviceLink link(t, 5ms);
    EXPECT_TRUE(link.OpenDevice());
    EXPECT_TRUE(link.DeviceFound());
    EXPECT_EQ(link.DevicePath(), "c");
    EXPECT_EQ(link.caps().InputReportByteLength, 65);
    EXPECT_EQ(t.openHandles, 2);  // one for writing and queries, one for reading
}

TEST(OpenDevice, FirstOfTwoUnitsWinsAndTheSecondIsNeverTouched) {
    FakeTransport t;
    t.interfaces = {device("first", 0x17A7, 2), device("second", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());
    EXPECT_EQ(link.DevicePath(), "first");
    for (const auto& p : t.opened) EXPECT_EQ(p, "first");
}

TEST(OpenDevice, FailedSearchLeavesNoHandleAndTheNextSearchStartsOver) {
    FakeTransport t;
    t.interfaces = {device("kbd", 0x046D, 0xC31C), device("other", 0x17A7, 7)};
    DeviceLink link(t, 5ms);
    EXPECT_FALSE(link.OpenDevice());
    EXPECT_FALSE(link.DeviceFound());
    EXPECT_EQ(t.openHandles, 0);

    t.interfaces.insert(t.interfaces.begin(), device("new", 0x17A7, 1));
    t.opened.clear();
    EXPECT_TRUE(link.OpenDevice());
    EXPECT_EQ(link.DevicePath(), "new");
    EXPECT_EQ(t.opened.front(), "new");
}

TEST(OpenDevice, InterfacesThatFailAreSkipped) {
    FakeTransport t;
    auto busy = device("busy", 0x17A7, 1);
    busy.openError = OpenError::Failed;
    auto mute = device("mute", 0x17A7, 1);
    mute.attributesFail = true;
    auto nocaps = device("nocaps", 0x17A7, 1);
    nocaps.capsFail = true;
    t.interfaces = {busy, mute, nocaps, device("good", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    EXPECT_TRUE(link.OpenDevice());
    EXPECT_EQ(link.DevicePath(), "good");
    EXPECT_EQ(t.openHandles, 2);
}

TEST(OpenDevice, UnitWithTooShortReportsIsNotServed) {
    for (HidCaps caps : {HidCaps{64, 65}, HidCaps{65, 8}, HidCaps{9, 9}}) {
        FakeTransport t;
        auto unit = device("u", 0x17A7, 1);
        unit.caps = caps;
        t.interfaces = {unit};
        DeviceLink link(t, 5ms);
        EXPECT_FALSE(link.OpenDevice());
        EXPECT_EQ(t.openHandles, 0);
    }
}

TEST(OpenDevice, RefusedUnitIsReportedWithWhatToDo) {
    struct Case {
        OpenError error;
        std::optional<long> holder;
        const char* says;
    };
    for (const Case c : {Case{OpenError::NotPermitted, std::nullopt, "70-kavo3.rules"},
                         Case{OpenError::Busy, 4242, "is in use by another program (PID 4242): "},
                         Case{OpenError::Busy, std::nullopt, "is in use by another program: "}}) {
        FakeTransport t;
        auto unit = device("locked", 0x17A7, 1);
        unit.openError = c.error;
        unit.holder = c.holder;
        auto mouse = device("mouse", 0x046D, 0xC077);
        mouse.openError = c.error;
        t.interfaces = {mouse, unit};
        DeviceLink link(t, 5ms);
        std::vector<std::string> shown;
        link.setProblemListener([&](const std::string& problem) { shown.push_back(problem); });
        // The hint on standard error names the program that runs, not one the link picked.
        setProgramName("kavo3cli");
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(link.OpenDevice());
        EXPECT_FALSE(link.OpenDevice());
        const std::string printed = ::testing::internal::GetCapturedStderr();
        setProgramName({});
        EXPECT_EQ(printed, "kavo3cli: " + link.unitProblem() + "\n");  // once
        EXPECT_NE(link.unitProblem().find("locked"), std::string::npos);
        EXPECT_NE(link.unitProblem().find(c.says), std::string::npos) << link.unitProblem();
        EXPECT_EQ(link.unitProblem().find("mouse"), std::string::npos);
        EXPECT_EQ(shown, std::vector<std::string>{link.unitProblem()});
        EXPECT_TRUE(t.written.empty());
        EXPECT_EQ(t.opened, std::vector<std::string>{});
    }
}

TEST(WriteReport, BuildsReportIdZeroTheEightBytesAndZerosToTheDeclaredLength) {
    FakeTransport t;
    auto unit = device("u", 0x17A7, 1);
    unit.caps = {65, 17};
    t.interfaces = {unit};
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());
    sendOne(link, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    sendOne(link, {1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_EQ(t.written.size(), 2u);
    const std::vector<std::uint8_t> expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(t.written[1], expected);
}

TEST(WriteReport, CommandBytesSurviveFromOneCommandToTheNext) {
    FakeTransport t;
    t.interfaces = {device("u", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());
    Conversation talk(link);
    talk.send({0x11, 0, 0x20, 0x01, 9, 8, 7, 6});
    talk.send(talk.following(0x12));
    // The status poll is no command to keep: what follows it takes the request's bytes.
    talk.send({0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(link.lastCommand(), (Command{0x12, 0, 0x20, 0x01, 9, 8, 7, 6}));
    EXPECT_EQ(talk.following(0x14)[4], 9);
    ASSERT_EQ(t.written.size(), 3u);
    const std::vector<std::uint8_t> second(t.written[1].begin(), t.written[1].begin() + 9);
    EXPECT_EQ(second, (std::vector<std::uint8_t>{0, 0x12, 0, 0x20, 0x01, 9, 8, 7, 6}));
}

TEST(WriteReport, WithoutAUnitSearchesAgainAndSendsNothing) {
    FakeTransport t;
    t.interfaces = {device("x", 0x1234, 1)};
    DeviceLink link(t, 5ms);
    sendOne(link, kCheck);
    sendOne(link, kCheck);
    EXPECT_EQ(t.listCalls, 2);
    EXPECT_TRUE(t.written.empty());

    t.interfaces.push_back(device("late", 0x17A7, 2));
    sendOne(link, kCheck);
    EXPECT_TRUE(link.DeviceFound());
    EXPECT_EQ(t.written.size(), 1u);
    sendOne(link, kCheck);
    EXPECT_EQ(t.listCalls, 3);  // found once, not searched again
}

TEST(WriteReport, DiscardsQueuedInputBeforeEveryWrite) {
    FakeTransport t;
    t.interfaces = {device("u", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());
    sendOne(link, kCheck);
    sendOne(link, kCheck);
    EXPECT_EQ(t.discards, 2);
}

TEST(WriteReport, AFailedWriteIsSilent) {
    FakeTransport t;
    t.interfaces = {device("u", 0x17A7, 1)};
    t.writesFail = true;
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());
    t.answer(std::vector<std::uint8_t>(65, 7));  // stale: no answer to a write never taken
    EXPECT_FALSE(sendOne(link, kCheck));
    const Reply none = readOne(link);
    EXPECT_TRUE(link.DeviceFound());
    EXPECT_FALSE(none.answered);
    EXPECT_EQ(none.bytes, Reply{}.bytes);
    EXPECT_EQ(t.pendingAnswers.size(), 1u);  // not even looked for

    t.writesFail = false;
    const Reply stale = exchangeOne(link, kCheck);
    EXPECT_TRUE(stale.answered);
    EXPECT_EQ(stale[1], 7);
    EXPECT_EQ(stale[64], 7);
}

TEST(UnitGone, AWriteOrReadThatSaysSoClosesTheUnitUntilAWriteFindsItAgain) {
    for (const bool onWrite : {true, false}) {
        FakeTransport t;
        t.interfaces = {device("first", 0x17A7, 1)};
        DeviceLink link(t, 5ms);
        ASSERT_TRUE(link.OpenDevice());
        t.gone = true;
        if (onWrite) {
            sendOne(link, kCheck);
        } else {
            t.gone = false;
            sendOne(link, kCheck);
            t.gone = true;
            t.answer(answer({9}));  // never handed over: the device left first
            EXPECT_FALSE(readOne(link).answered);
        }
        EXPECT_FALSE(link.DeviceFound());
        EXPECT_EQ(t.openHandles, 0);

        // Away: every write searches and sends nothing; reads end with zeros.
        t.interfaces.clear();
        t.written.clear();
        const int listed = t.listCalls;
        exchangeOne(link, kCheck);
        const Reply away = exchangeOne(link, kCheck);
        EXPECT_EQ(t.listCalls, listed + 2);
        EXPECT_TRUE(t.written.empty());
        EXPECT_FALSE(away.answered);
        EXPECT_EQ(away.bytes, Reply{}.bytes);

        // Back at another path.
        t.gone = false;
        t.interfaces = {device("second", 0x17A7, 1)};
        t.pendingAnswers.clear();
        t.answer(answer({7}));
        const Reply back = exchangeOne(link, kCheck);
        EXPECT_TRUE(link.DeviceFound());
        EXPECT_EQ(link.DevicePath(), "second");
        ASSERT_EQ(t.written.size(), 1u);
        EXPECT_EQ(back[1], 7);
    }
}

TEST(UnitGone, AUnitBackDuringAHoldTakesNoneOfTheHeldReportsOnlyWhatFollows) {
    FakeTransport t;
    t.interfaces = {device("first", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());
    {
        Conversation talk(link);
        DeviceLink::Hold hold = link.hold();
        talk.send(hold, {1, 0, 0, 0x80, 0x0E, 0x18, 0, 0}, Meant::Command);  // 3 data reports
        t.gone = true;
        const Command erase{5, 0, 0, 0, 0, 0x55, 0xAA, 0x55};  // data that reads as an erase
        talk.send(hold, erase, Meant::Data);
        t.gone = false;
        t.interfaces = {device("second", 0x17A7, 1)};
        const int listed = t.listCalls;
        EXPECT_FALSE(sendOne(link, erase));  // another caller's report during the hold
        talk.send(hold, erase, Meant::Data);
        talk.send(hold, erase, Meant::Data);
        talk.read(hold);
        EXPECT_EQ(t.listCalls, listed);  // not even searched for
        EXPECT_FALSE(link.DeviceFound());
    }
    ASSERT_EQ(t.written.size(), 1u);  // the write start only
    sendOne(link, {6, 0, 0, 0x80, 0x0E, 0x18, 0, 0});
    EXPECT_TRUE(link.DeviceFound());
    EXPECT_EQ(link.DevicePath(), "second");
    ASSERT_EQ(t.written.size(), 2u);
    EXPECT_EQ(t.written[1][1], 6);
}

TEST(ReadReport, LeavesTheAnswerOrAllZeros) {
    FakeTransport t;
    auto unit = device("u", 0x17A7, 1);
    unit.caps = {70, 65};
    t.interfaces = {unit};
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());

    std::vector<std::uint8_t> longer = answer({1, 2, 3});
    longer[64] = 0x64;
    longer.resize(70, 0xEE);  // past the 64 response bytes: not part of any reply
    t.answer(longer);
    const Reply first = readOne(link);
    EXPECT_TRUE(first.answered);
    EXPECT_EQ(first[1], 1);
    EXPECT_EQ(first[3], 3);
    EXPECT_EQ(first[64], 0x64);
    EXPECT_EQ(first[65], 0);

    const Reply second = readOne(link);  // nothing queued: the wait ends empty
    EXPECT_FALSE(second.answered);
    EXPECT_EQ(second.bytes, Reply{}.bytes);
}

TEST(ReadReport, BeforeAnyUnitReturnsZerosAtOnce) {
    FakeTransport t;
    DeviceLink link(t, 1000ms);
    const auto start = std::chrono::steady_clock::now();
    const Reply none = readOne(link);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(none.answered);
}

TEST(Close, ReleasesBothHandlesAndAWriteSearchesAgain) {
    FakeTransport t;
    t.interfaces = {device("u", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    ASSERT_TRUE(link.OpenDevice());
    link.close();
    EXPECT_EQ(t.openHandles, 0);
    EXPECT_FALSE(link.DeviceFound());
    sendOne(link, kCheck);
    EXPECT_TRUE(link.DeviceFound());
}

}  // namespace
}  // namespace kavo3::link

namespace kavo3::link {
namespace {

// Each opening is an attachment of its own; a read is an answer only when a report came from
// the attachment asked about, and a write bound to an attachment never reaches another one.
TEST(Attachment, AnswersCountOnlyFromTheirOwnOpeningAndBoundWritesNeverReachAnother) {
    FakeTransport t;
    t.interfaces = {device("unit", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    EXPECT_EQ(link.attachment(), kNoAttachment);
    const Attachment first = link.attach();
    ASSERT_NE(first, kNoAttachment);
    EXPECT_EQ(link.attach(), first);  // no second search while it is open

    t.answer(answer({7}));
    EXPECT_TRUE(link.WriteReport(kCheck, Meant::Command, first));
    EXPECT_TRUE(link.ReadReport(first).from(first));
    EXPECT_EQ(link.lastCommand()[0], 2);  // kept as the record of the last command
    // A timeout leaves zeros and is no answer.
    const Reply timedOut = link.ReadReport(first);
    EXPECT_FALSE(timedOut.answered);
    EXPECT_FALSE(timedOut.from(first));

    t.gone = true;
    EXPECT_FALSE(link.ReadReport(first).answered);
    EXPECT_EQ(link.attachment(), kNoAttachment);

    // Back: an unbound write searches and opens a new attachment; the old one gets nothing.
    t.gone = false;
    const std::size_t sent = t.written.size();
    const int searches = t.listCalls;
    EXPECT_FALSE(link.WriteReport({0x11, 0, 2, 0, 5, 0, 0, 0}, Meant::Command, first));
    EXPECT_EQ(t.written.size(), sent);
    EXPECT_EQ(t.listCalls, searches);  // a bound write never searches
    t.answer(answer({9}));
    EXPECT_FALSE(link.ReadReport(first).answered);  // ends at once, the answer stays queued
    EXPECT_EQ(t.pendingAnswers.size(), 1u);

    EXPECT_TRUE(sendOne(link, kCheck));
    const Attachment second = link.attachment();
    EXPECT_NE(second, first);
    EXPECT_NE(second, kNoAttachment);
    const Reply r = link.ReadReport(second);
    EXPECT_TRUE(r.from(second));
    EXPECT_FALSE(r.from(first));
}

// A sequence whose unit went before its first report begins afresh with the unit there now;
// one that has sent anything never moves to another attachment.
TEST(Attachment, OnlyASequenceThatSentNothingYetMovesToTheUnitAttachedNow) {
    FakeTransport t;
    t.interfaces = {device("unit", 0x17A7, 1)};
    DeviceLink link(t, 5ms);
    Conversation before(link);
    Conversation begun(link);
    EXPECT_TRUE(begun.send({2, 0, 0, 0, 0, 0, 0, 0}));
    const Attachment first = link.attachment();

    // Gone and back before either sends again; the link has not noticed yet.
    t.replug();
    EXPECT_TRUE(before.send({4, 0, 0, 0x80, 0x0E, 0x55, 0xAA, 0x55}));
    EXPECT_NE(before.attachment(), first);
    EXPECT_TRUE(before.whole());
    const std::size_t sent = t.written.size();
    EXPECT_FALSE(begun.send({4, 0, 0, 0x80, 0x0E, 0x55, 0xAA, 0x55}));
    EXPECT_EQ(t.written.size(), sent);
    EXPECT_FALSE(begun.whole());
}

}  // namespace
}  // namespace kavo3::link
