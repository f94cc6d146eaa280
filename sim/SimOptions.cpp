#include "sim/SimOptions.h"

#include <string>

#include "sim/SimSwitches.h"

namespace kavo3::sim {
namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

const SimSwitch* findSwitch(std::string_view name) {
    for (const SimSwitch& candidate : simSwitchTable())
        if (candidate.name == name) return &candidate;
    return nullptr;
}

}  // namespace

std::optional<SimOptions> parseSimSwitches(std::string_view text, std::string& error) {
    SimSwitchParse parse;
    error.clear();
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty()) continue;

        const std::size_t eq = item.find('=');
        const bool hasValue = eq != std::string_view::npos;
        const SimSwitchText written{item, hasValue ? trim(item.substr(eq + 1)) : std::string_view{},
                                    hasValue};
        const SimSwitch* known = findSwitch(trim(item.substr(0, eq)));
        const char* expected = known ? known->set(parse, written) : "unknown switch";
        if (expected) {
            error = "'" + std::string(item) + "': " + expected;
            return std::nullopt;
        }
    }
    const SimOptions& o = parse.options;
    if (!o.keepFile.empty() && o.units > 1) {
        error = "'keep' goes with one unit only";
        return std::nullopt;
    }
    if (o.replugAfterMs >= 0 && o.unplugAfter < 0) {
        error = "'" + parse.replugSwitch + "': needs unplug=N (the unit must leave to come back)";
        return std::nullopt;
    }
    return parse.options;
}

}  // namespace kavo3::sim
