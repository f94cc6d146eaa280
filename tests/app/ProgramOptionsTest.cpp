// What the window programs take on their command line.
#include <gtest/gtest.h>

#include "app/ProgramOptions.h"

namespace kavo3::app {
namespace {

TEST(ProgramOptions, TakesTheTickInEitherSpellingAndRefusesAnythingElse) {
    const struct {
        QStringList arguments;
        std::optional<std::string> tickMs;  // nullopt with `refused`: not taken
        bool refused;
    } cases[] = {
        {{}, std::nullopt, false},           {{"--tick-ms", "16"}, "16", false},
        {{"--tick-ms=16"}, "16", false},     {{"--tick-ms=1", "--tick-ms", "4"}, "4", false},
        {{"--tick-ms"}, std::nullopt, true}, {{"--tick-ms="}, std::nullopt, true},
        {{"--tick=16"}, std::nullopt, true}, {{"rom.bin"}, std::nullopt, true},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = parseProgramOptions(c.arguments, error);
        const std::string given = c.arguments.join(' ').toStdString();
        EXPECT_EQ(!options, c.refused) << given;
        EXPECT_EQ(error.empty(), !c.refused) << given << ": " << error;
        if (options) {
            EXPECT_EQ(options->tickMs, c.tickMs) << given;
        }
        if (c.refused) {
            EXPECT_NE(error.find("--tick-ms N"), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace kavo3::app
