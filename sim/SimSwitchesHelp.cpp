#include "sim/SimSwitchesHelp.h"

#include <algorithm>
#include <string>

#include "sim/SimSwitches.h"

namespace kavo3::sim {

namespace {

// "  form          help", its further lines under the first.
std::string helpOf(bool forTests) {
    constexpr std::size_t kFormWidth = 13;
    const std::string indent(2 + kFormWidth + 1, ' ');
    std::string text;
    for (const SimSwitch& entry : simSwitchTable()) {
        if (entry.forTests != forTests) continue;
        std::string form(entry.form);
        form.resize(std::max(form.size(), kFormWidth), ' ');
        text += "  " + form + " ";
        std::string_view help = entry.help;
        for (std::size_t end; (end = help.find('\n')) != std::string_view::npos;
             help.remove_prefix(end + 1))
            text += std::string(help.substr(0, end)) + "\n" + indent;
        text += std::string(help) + "\n";
    }
    return text;
}

}  // namespace

const char* simSwitchesHelp() {
    static const std::string text = helpOf(false);
    return text.c_str();
}

const char* simTestSwitchesHelp() {
    static const std::string text = helpOf(true);
    return text.c_str();
}

}  // namespace kavo3::sim
