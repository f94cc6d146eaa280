// What the window programs take on their command line.
#include <gtest/gtest.h>

#include "app/ProgramOptions.h"

namespace kavo3::app {
namespace {

TEST(ProgramOptions, TakesTheTickAndTheUnitInEitherSpellingAndRefusesAnythingElse) {
    const struct {
        QStringList arguments;
        std::optional<std::string> tickMs;  // nullopt with `refused`: not taken
        bool refused;
        std::optional<std::string> device = std::nullopt;
    } cases[] = {
        {{}, std::nullopt, false},
        {{"--tick-ms", "16"}, "16", false},
        {{"--tick-ms=16"}, "16", false},
        {{"--tick-ms=1", "--tick-ms", "4"}, "4", false},
        {{"--tick-ms"}, std::nullopt, true},
        {{"--tick-ms="}, std::nullopt, true},
        {{"--tick=16"}, std::nullopt, true},
        {{"rom.bin"}, std::nullopt, true},
        {{"--device", "usb-0000:00:14.0-1.2/input0", "--tick-ms=16"},
         "16",
         false,
         "usb-0000:00:14.0-1.2/input0"},
        {{"--device=/dev/hidraw3"}, std::nullopt, false, "/dev/hidraw3"},
        {{"--device=/dev/hidraw3", "--device", "/dev/hidraw3"},
         std::nullopt,
         false,
         "/dev/hidraw3"},
        {{"--device"}, std::nullopt, true},
        {{"--device="}, std::nullopt, true},
        {{"--device=/dev/hidraw3", "--device=/dev/hidraw4"}, std::nullopt, true},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = parseProgramOptions(c.arguments, error);
        const std::string given = c.arguments.join(' ').toStdString();
        EXPECT_EQ(!options, c.refused) << given;
        EXPECT_EQ(error.empty(), !c.refused) << given << ": " << error;
        if (options) {
            EXPECT_EQ(options->tickMs, c.tickMs) << given;
            EXPECT_EQ(options->device, c.device) << given;
        }
        if (c.refused) {
            EXPECT_NE(error.find("--tick-ms N"), std::string::npos) << error;
            EXPECT_NE(error.find("--device ID"), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace kavo3::app
