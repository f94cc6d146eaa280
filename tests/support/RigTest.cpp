// The rigs wire what they are asked to: a test that trusts the recorder or the trace would
// otherwise pass on nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "LinkRig.h"
#include "link/ConnectionCheck.h"
#include "link/testing/FakeTransport.h"

namespace kavo3::rigs {
namespace {

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(LinkRig, TheRecorderAndTheTraceSeeTheLinkOnlyWhenAsked) {
    const std::filesystem::path tracePath =
        std::filesystem::temp_directory_path() /
        ("kavo3-link-rig-" + std::to_string(std::random_device{}()) + ".txt");
    for (const bool recorded : {false, true})
        for (const bool traced : {false, true}) {
            SCOPED_TRACE(std::string(recorded ? "recorded" : "") + (traced ? " traced" : ""));
            std::filesystem::remove(tracePath);
            {
                LinkRig<> rig(simWith("extra=2"),
                              {.tracePath = traced ? tracePath.string() : std::string(),
                               .recorded = recorded});
                EXPECT_EQ(link::checkConnection(rig.link, [](int) {}), link::Connection::Ready);
                EXPECT_EQ(rig.transport.reportsWritten(), 1);
                EXPECT_EQ(rig.recorder.commands.size(), recorded ? 1u : 0u);
                EXPECT_EQ(rig.trace != nullptr, traced);
            }
            EXPECT_EQ(std::filesystem::exists(tracePath), traced);
            if (traced) {
                EXPECT_NE(contentsOf(tracePath).find("OUT"), std::string::npos);
            }
        }
    std::filesystem::remove(tracePath);
}

TEST(LinkRig, TakesATransportTheTestOwns) {
    link::testing::FakeTransport fake;
    LinkRig<link::Transport&> rig(fake, {.recorded = true});
    EXPECT_EQ(&rig.transport, &fake);
    EXPECT_EQ(link::checkConnection(rig.link, [](int) {}), link::Connection::NotFound);
}

TEST(LinkRig, AWrongSwitchIsNoHealthyUnit) {
    EXPECT_THROW(simWith("nosuchswitch"), std::invalid_argument);
}

}  // namespace
}  // namespace kavo3::rigs
