#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "unitd/BusSwitches.h"
#include "unitd/UnitServer.h"

namespace kavo3::unitd {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A command as the host wrote it (ID byte 0 first) and as the bus hands it to the unit.
Bytes onBus(Bytes command, bool withIdByte) {
    command.resize(8);
    if (withIdByte) command.insert(command.begin(), 0);
    return command;
}

// Sends every answer the server has, as a bus that always takes them.
int sendAll(UnitServer& server) {
    int sent = 0;
    for (; server.nextAnswer(); ++sent) server.answerSent();
    return sent;
}

// What the record file got, line by line without the times.
std::vector<std::string> recordLines(std::FILE* f) {
    std::rewind(f);
    std::vector<std::string> lines;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        std::string s(line);
        s = s.substr(s.find(' ') + 1);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        lines.push_back(s.substr(0, 40));
    }
    return lines;
}

class OnEitherBus : public ::testing::TestWithParam<bool> {};

// Whether the bus keeps the ID byte (uhid) or not (a gadget's endpoint), the unit gets the
// same report, and the record shows it as the host's trace would.
TEST_P(OnEitherBus, ConnectionCheckAnsweredAndRecordedAsTheHostWroteIt) {
    std::FILE* record = std::tmpfile();
    UnitServer server({}, record);
    server.reportFromHost(onBus({0x02}, GetParam()), GetParam());
    ASSERT_NE(server.nextAnswer(), nullptr);
    EXPECT_EQ((*server.nextAnswer())[1], 'K');
    EXPECT_FALSE(server.readyForReport()) << "one buffer: the next report waits for the send";
    server.answerSent();
    EXPECT_TRUE(server.readyForReport());

    const auto lines = recordLines(record);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "OUT 00 02 00 00 00 00 00 00 00");
    EXPECT_EQ(lines[1].substr(0, 18), "IN 00 02 4b 56 33 ");
    std::fclose(record);
}

// A download over the bus: what the host meant each report as is not on the wire; the unit
// takes data while its write start runs, and its flash gets the file.
TEST_P(OnEitherBus, DownloadDataTakenAsDataAndTheUnitEndsIdle) {
    const bool id = GetParam();
    UnitServer server({});
    // Erase 4 KiB at 0x1000, then a write start of 16 bytes there.
    server.reportFromHost(onBus({0x04, 0, 0x00, 0x10, 0, 0x55, 0xAA, 0x55}, id), id);
    EXPECT_EQ(sendAll(server), 1);
    server.reportFromHost(onBus({0x01, 0, 0x00, 0x10, 0, 16, 0, 0}, id), id);
    EXPECT_EQ(sendAll(server), 0);
    server.reportFromHost(onBus({1, 2, 3, 4, 5, 6, 7, 8}, id), id);
    EXPECT_NE(server.summary().find("left in: flash write\n"), std::string::npos)
        << server.summary();
    server.reportFromHost(onBus({0x02, 9, 9, 9, 9, 9, 9, 9}, id), id);  // data, whatever its bytes
    EXPECT_EQ(sendAll(server), 1);

    EXPECT_EQ(server.unit().flash()[0x1000], 1);
    EXPECT_EQ(server.unit().flash()[0x1008], 0x02);
    const std::string summary = server.summary();
    EXPECT_NE(summary.find("(commands 2, data reports 2)"), std::string::npos) << summary;
    EXPECT_NE(summary.find("left in: idle\n"), std::string::npos) << summary;
    EXPECT_FALSE(server.viewFoundFaults());
}

INSTANTIATE_TEST_SUITE_P(Bus, OnEitherBus, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "uhid" : "gadget"; });

TEST(UnitServer, KeepsTheViewsChecksAndReportsWhatItFound) {
    UnitServer server({});
    // A Block write to an address no answer reported since a Timing access start.
    server.reportFromHost(onBus({0x11, 0, 0x20, 0x01, 1, 2, 3, 4}, false), false);
    sendAll(server);
    EXPECT_TRUE(server.viewFoundFaults());
    EXPECT_NE(server.summary().find("view: 1 faults\n  "), std::string::npos) << server.summary();
}

TEST(UnitServer, EachHostOpeningIsOneAttachmentAndAClosingLosesUnreadAnswers) {
    UnitServer server({});
    server.hostOpened();
    EXPECT_EQ(server.attachments(), 1);
    server.reportFromHost(onBus({0x02}, true), true);
    server.hostClosed();
    EXPECT_EQ(server.nextAnswer(), nullptr);
    server.hostOpened();
    EXPECT_EQ(server.attachments(), 2);
    EXPECT_NE(server.summary().find("answers sent: 0\n"), std::string::npos);
}

TEST(UnitServer, LateAnswersComeOnlyWhenDue) {
    sim::SimOptions late;
    late.lateAnswers = true;
    UnitServer server(late);
    server.reportFromHost(onBus({0x02}, false), false);
    EXPECT_EQ(server.nextAnswer(), nullptr);
    ASSERT_TRUE(server.lateAnswersDue());
    EXPECT_GE(*server.lateAnswersDue() - Clock::now(), kLateAnswerDelay - std::chrono::milliseconds(50));
    server.lateAnswersArrive();
    EXPECT_NE(server.nextAnswer(), nullptr);
    EXPECT_FALSE(server.lateAnswersDue());
}

TEST(UnitServer, ReportsWithAnotherIdOrTooShortAreIgnored) {
    UnitServer server({});
    server.reportFromHost(Bytes{1, 2, 0, 0, 0, 0, 0, 0, 0}, true);
    server.reportFromHost(Bytes{2, 0, 0}, false);
    EXPECT_EQ(server.nextAnswer(), nullptr);
    EXPECT_NE(server.summary().find("reports received: 0 (commands 0, data reports 0), ignored 2"),
              std::string::npos);
}

// unplug=N on the bus: the unit leaves right after the N-th report, its answer lost; with
// restart it comes back having forgotten the write it was in.
TEST(UnitServer, UnplugsAfterTheNthReportAndComesBackAsAnotherAttachment) {
    std::string error;
    const auto options = sim::parseSimSwitches("unplug=2,replug=0,restart", error);
    ASSERT_TRUE(options) << error;
    UnitServer server(*options);
    server.reportFromHost(onBus({0x02}, false), false);
    EXPECT_FALSE(server.unplugDue());
    server.reportFromHost(onBus({0x01, 0, 0, 0, 0, 64, 0, 0}, false), false);
    ASSERT_TRUE(server.unplugDue());
    server.unplugged();
    EXPECT_FALSE(server.unplugDue());
    ASSERT_TRUE(server.replugDue());
    EXPECT_TRUE(server.unit().flashWriteRunning());
    server.pluggedBackIn();
    EXPECT_FALSE(server.unit().flashWriteRunning());
    EXPECT_EQ(server.attachments(), 2);
    server.hostOpened();
    EXPECT_EQ(server.attachments(), 2) << "the first opening after the replug is that attachment";
}

TEST(BusSwitches, PresenceAndPaceBelongToTheBus) {
    const struct {
        const char* switches;
        const char* refused;
    } cases[] = {
        {"", ""},
        {"size=128x101,fpga=1,noinput,zeros,late=2,corrupt,polls=3,base=0x30,unchecked", ""},
        {"noanswer=4,id=17a7:0002", ""},
        {"unplug=3,replug=10,restart", ""},
        {"usb", "usb/delay"},
        {"busy=12,extra=2,refuse=1,units=2,hostwait=5", "units,busy,refuse,extra,hostwait"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = sim::parseSimSwitches(c.switches, error);
        ASSERT_TRUE(options) << c.switches << ": " << error;
        EXPECT_EQ(switchesTheBusDecides(*options), c.refused) << c.switches;
    }
}

}  // namespace
}  // namespace kavo3::unitd
