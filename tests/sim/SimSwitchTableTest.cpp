// The table the switches are parsed from and listed by: each switch in it is listed where it
// belongs, takes the form the help shows, and changes the unit.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "sim/SimSwitches.h"
#include "sim/SimSwitchesHelp.h"

namespace kavo3::sim {
namespace {

// A value of each switch, in the form its help shows, that differs from the default unit.
const std::map<std::string, std::string> kExamples = {
    {"size", "size=640x200"},     {"hvalue", "hvalue=-3"},   {"vvalue", "vvalue=7"},
    {"fpga", "fpga=1"},           {"noinput", "noinput"},    {"noanswer", "noanswer=4"},
    {"zeros", "zeros"},           {"late", "late=2"},        {"samepath", "samepath"},
    {"unplug", "unplug=10"},      {"replug", "replug=5"},    {"restart", "restart"},
    {"busy", "busy=77"},          {"refuse", "refuse=3"},    {"refusals", "refusals=2"},
    {"keep", "keep=unit.state"},  {"stall", "stall=9"},      {"units", "units=2"},
    {"corrupt", "corrupt"},       {"polls", "polls=never"},  {"usb", "usb"},
    {"delay", "delay=250"},       {"base", "base=0x40"},     {"basehigh", "basehigh=2"},
    {"extra", "extra=1"},         {"id", "id=04d8:0001"},    {"hostwait", "hostwait=50"},
    {"unchecked", "unchecked"},   {"coarse", "coarse"},      {"hold", "hold=3/8"},
};

TEST(SimSwitchTable, EverySwitchIsListedOnceWhereItBelongs) {
    const std::string users = simSwitchesHelp(), tests = simTestSwitchesHelp();
    std::set<std::string_view> names;
    for (const SimSwitch& entry : simSwitchTable()) {
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
        EXPECT_TRUE(entry.form.starts_with(entry.name)) << entry.form;
        const std::string line = "  " + std::string(entry.form) + " ";
        EXPECT_NE((entry.forTests ? tests : users).find(line), std::string::npos) << entry.name;
        EXPECT_EQ((entry.forTests ? users : tests).find(line), std::string::npos) << entry.name;
    }
}

TEST(SimSwitchTable, EverySwitchTakesItsExampleAndChangesTheUnit) {
    for (const SimSwitch& entry : simSwitchTable()) {
        const auto example = kExamples.find(std::string(entry.name));
        ASSERT_NE(example, kExamples.end()) << "no example for " << entry.name;
        // replug goes with unplug.
        const std::string text =
            entry.name == "replug" ? example->second + ",unplug=1" : example->second;
        std::string error;
        const auto options = parseSimSwitches(text, error);
        ASSERT_TRUE(options) << text << ": " << error;
        SimOptions expected;
        if (entry.name == "replug") expected.unplugAfter = 1;
        EXPECT_NE(*options, expected) << text << " changed nothing";
    }
    EXPECT_EQ(kExamples.size(), simSwitchTable().size());
}

}  // namespace
}  // namespace kavo3::sim
