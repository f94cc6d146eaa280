#include "link/TickPeriod.h"

#include <charconv>
#include <cstdlib>

namespace kavo3::link {

namespace {
std::chrono::milliseconds& storedPeriod() {
    static std::chrono::milliseconds period{1};
    return period;
}
}  // namespace

std::optional<std::chrono::milliseconds> parseTickMs(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (value < 1 || value > kMaxTickMs) return std::nullopt;
    return std::chrono::milliseconds(value);
}

std::string setTickPeriodFrom(const char* option) {
    const auto take = [](const char* text, const std::string& origin) -> std::string {
        const auto period = parseTickMs(text);
        if (!period)
            return origin + ": '" + text + "' is not a tick period from 1 to " +
                   std::to_string(kMaxTickMs) + " ms";
        setTickPeriod(*period);
        return {};
    };
    if (option) return take(option, kTickOption);
    if (const char* fromEnvironment = std::getenv(kTickEnvironment);
        fromEnvironment && *fromEnvironment)
        return take(fromEnvironment, kTickEnvironment);
    return {};
}

void setTickPeriod(std::chrono::milliseconds period) { storedPeriod() = period; }

std::chrono::milliseconds tickPeriod() { return storedPeriod(); }

}  // namespace kavo3::link
