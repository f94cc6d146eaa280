// The tick period: what the option and the environment variable take, and which one wins.
#include <gtest/gtest.h>

#include <cstdlib>

#include "link/TickPeriod.h"

namespace kavo3::link {
namespace {

using std::chrono::milliseconds;

// Null unsets; the Windows runtime has no setenv, and an empty value unsets there too.
void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
#endif
}

TEST(TickPeriod, TakesWholeMillisecondsFromOneToOneThousand) {
    const struct {
        const char* text;
        std::optional<milliseconds> period;
    } cases[] = {
        {"1", milliseconds(1)}, {"16", milliseconds(16)},      {"1000", milliseconds(1000)},
        {"0", std::nullopt},    {"1001", std::nullopt},        {"-16", std::nullopt},
        {"16ms", std::nullopt}, {" 16", std::nullopt},         {"", std::nullopt},
        {"1.5", std::nullopt},  {"99999999999", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseTickMs(c.text), c.period) << '"' << c.text << '"';
}

TEST(TickPeriod, TheOptionWinsOverTheEnvironmentAndABadValueChangesNothing) {
    const struct {
        const char* environment;  // null: unset
        const char* option;       // null: not given
        int period;
        bool bad;
    } cases[] = {
        {nullptr, nullptr, 1, false}, {"16", nullptr, 16, false}, {"16", "4", 4, false},
        {"x", "4", 4, false},         {nullptr, "0", 1, true},    {"0", nullptr, 1, true},
        {"", nullptr, 1, false},
    };
    for (const auto& c : cases) {
        setTickPeriod(milliseconds(1));
        setEnvironment(kTickEnvironment, c.environment);
        const std::string error = setTickPeriodFrom(c.option);
        EXPECT_EQ(tickPeriod(), milliseconds(c.period))
            << (c.environment ? c.environment : "-") << " " << (c.option ? c.option : "-");
        EXPECT_EQ(!error.empty(), c.bad) << error;
        if (c.bad) {
            EXPECT_NE(error.find(c.option ? kTickOption : kTickEnvironment), std::string::npos);
        }
    }
    setEnvironment(kTickEnvironment, nullptr);
    setTickPeriod(milliseconds(1));
}

}  // namespace
}  // namespace kavo3::link
