#include "link/Trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <random>
#include <sstream>

#include "link/DeviceLink.h"
#include "link/testing/FakeTransport.h"
#include "tests/support/OneReport.h"

namespace kavo3::link {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> linesOf(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

TEST(Trace, FormatsBytesAsLowerCaseHexSeparatedBySingleSpaces) {
    const std::uint8_t bytes[] = {0x00, 0x0f, 0xab, 0xFF};
    EXPECT_EQ(Trace::formatReport(12, "OUT", bytes), "12 OUT 00 0f ab ff");
}

TEST(Trace, RecordsEveryEventOfAnExchange) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kavo3-trace-" + std::to_string(std::random_device{}()) + ".txt");
    std::filesystem::remove(path);
    {
        auto trace = Trace::open(path.string());
        ASSERT_TRUE(trace);
        testing::FakeTransport t;
        testing::FakeInterface unit;
        unit.path = "u";
        unit.attributes = {0x17A7, 1, 0};
        t.interfaces = {unit};
        DeviceLink link(t, 5ms, trace.get());
        ASSERT_TRUE(link.OpenDevice());
        std::vector<std::uint8_t> reply(65, 0);
        reply[1] = 0x5a;
        t.answer(reply);
        kavo3::testing::sendOne(link, {2, 0, 0, 0, 0, 0, 0, 0});
        kavo3::testing::readOne(link);
        kavo3::testing::readOne(link);
        // Flushed line by line: readable before the trace is closed.
        const auto lines = linesOf(path);
        ASSERT_GE(lines.size(), 4u);
        const auto n = lines.size();
        EXPECT_TRUE(std::regex_match(lines[n - 3], std::regex(R"(\d+ OUT 00 02( 00){63})")))
            << lines[n - 3];
        EXPECT_TRUE(std::regex_match(lines[n - 2], std::regex(R"(\d+ IN 00 5a( 00){63})")))
            << lines[n - 2];
        EXPECT_TRUE(std::regex_match(lines[n - 1], std::regex(R"(\d+ NONE)"))) << lines[n - 1];
        EXPECT_EQ(lines[0].rfind("# ", 0), 0u);
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace kavo3::link
