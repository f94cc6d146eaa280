// The hold a download takes on the link for its data phase.
#include "link/LinkHold.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "link/Conversation.h"
#include "link/Trace.h"
#include "link/testing/FakeTransport.h"
#include "tests/support/OneReport.h"

namespace kavo3::link {
namespace {

using testing::FakeTransport;
using namespace std::chrono_literals;

std::vector<std::uint8_t> answer(std::uint8_t first) {
    std::vector<std::uint8_t> r(65, 0);
    r[1] = first;
    return r;
}

struct HeldLink {
    // Unique: other builds may run this test at the same time.
    std::string tracePath = (std::filesystem::temp_directory_path() /
                             ("kavo3-hold-" + std::to_string(std::random_device{}())))
                                .string();
    std::unique_ptr<Trace> trace;
    FakeTransport transport;
    std::unique_ptr<DeviceLink> link;

    HeldLink() {
        std::remove(tracePath.c_str());
        trace = Trace::open(tracePath);
        transport.interfaces = {{"unit", {0x17A7, 1, 0}}};
        link = std::make_unique<DeviceLink>(transport, 5ms, trace.get());
        link->OpenDevice();
    }
    ~HeldLink() { std::remove(tracePath.c_str()); }

    std::vector<std::uint8_t> firstBytes() const {
        std::vector<std::uint8_t> out;
        for (const auto& r : transport.written) out.push_back(r[1]);
        return out;
    }
    int notesContaining(const std::string& word) const {
        std::ifstream in(tracePath);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("# ", 0) == 0 && line.find(word) != std::string::npos) ++n;
        return n;
    }
};

TEST(LinkHold, OnlyTheHolderReachesTheUnitAndWaitingCommandsRunOnceAfterwards) {
    HeldLink h;
    DeviceLink& link = *h.link;
    std::vector<int> ran;
    {
        Conversation talk(link);
        DeviceLink::Hold hold = link.hold();
        ASSERT_TRUE(hold.active());
        EXPECT_TRUE(link.held());
        talk.send(hold, {1, 0, 0, 0, 0, 0, 0, 0}, Meant::Command);

        // Another caller: nothing sent, its read gives zeros and leaves the answer queued.
        h.transport.answer(answer(0x77));
        kavo3::testing::sendOne(link, {0x13, 5, 0, 0, 0, 0, 0, 0});
        EXPECT_FALSE(kavo3::testing::readOne(link).answered);
        EXPECT_EQ(h.notesContaining("refused"), 2);

        // A second hold gets nothing through either.
        DeviceLink::Hold second = link.hold();
        EXPECT_FALSE(second.active());
        talk.send(second, {0x0F, 0, 0, 0, 0, 0, 0, 0}, Meant::Command);

        link.runWhenFree([&] {
            ran.push_back(1);
            kavo3::testing::sendOne(link, {0x0F, 0, 0, 0, 0, 0, 0, 0});
        });
        link.runWhenFree([&] { ran.push_back(2); });
        EXPECT_TRUE(ran.empty());

        talk.send(hold, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}, Meant::Data);
        EXPECT_EQ(talk.read(hold)[1], 0x77);
        second.release();  // the inactive hold ends nothing
        EXPECT_TRUE(link.held());
        EXPECT_TRUE(ran.empty());
    }
    EXPECT_FALSE(link.held());
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_EQ(h.firstBytes(), (std::vector<std::uint8_t>{1, 0xAA, 0x0F}));

    // Free again: a command runs at once, and only once.
    link.runWhenFree([&] { ran.push_back(3); });
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace kavo3::link
