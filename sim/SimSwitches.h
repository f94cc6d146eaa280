// The switches of KAVO3_SIM and --sim, one table: each switch's name, its form and help as a
// program's --help lists them, and how it sets the simulated unit's options.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "sim/SimOptions.h"

namespace kavo3::sim {

// One switch as written: "replug = 50" has the value "50".
struct SimSwitchText {
    std::string_view item;   // the whole switch, for messages
    std::string_view value;  // empty without '='
    bool hasValue = false;
};

// What parsing has so far, for the checks that look at several switches at the end.
struct SimSwitchParse {
    SimOptions options;
    std::string replugSwitch;  // as written, for the message when unplug is missing
};

struct SimSwitch {
    std::string_view name;
    std::string_view form;  // as the help lists it, e.g. "size=WxH"
    std::string_view help;  // its lines, '\n' between them
    bool forTests;          // listed apart: only the tool's own tests need it
    // Null when it took the value, otherwise what it expected instead.
    const char* (*set)(SimSwitchParse& parse, const SimSwitchText& text);
};

// In the order the help lists them.
std::span<const SimSwitch> simSwitchTable();

}  // namespace kavo3::sim
