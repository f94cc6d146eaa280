#include "sim/SimOptions.h"

#include <charconv>
#include <string>

namespace kavo3::sim {
namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Decimal, or hexadecimal with 0x; an optional leading minus.
std::optional<long long> parseNumber(std::string_view s) {
    bool negative = false;
    if (!s.empty() && s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return negative ? -value : value;
}

std::optional<long long> parseRanged(std::string_view s, long long low, long long high) {
    const auto v = parseNumber(s);
    if (!v || *v < low || *v > high) return std::nullopt;
    return v;
}

std::optional<std::uint16_t> parseHex16(std::string_view s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 4) return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// Largest picture side: its frame-information value must stay a positive 16-bit number.
constexpr long long kMaxSide = 32767;

}  // namespace

std::optional<SimOptions> parseSimSwitches(std::string_view text, std::string& error) {
    SimOptions o;
    error.clear();
    std::string replugSwitch;  // as written, for the message when unplug is missing
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty()) continue;

        const std::size_t eq = item.find('=');
        const std::string_view key = trim(item.substr(0, eq));
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : trim(item.substr(eq + 1));
        const bool hasValue = eq != std::string_view::npos;
        const auto fail = [&](std::string_view expected) {
            error = "'" + std::string(item) + "': " + std::string(expected);
            return std::nullopt;
        };
        const auto flag = [&](bool& target) {
            if (hasValue) return false;
            target = true;
            return true;
        };

        if (key == "size") {
            const std::size_t x = value.find_first_of("xX");
            if (x == std::string_view::npos) return fail("expected size=WIDTHxHEIGHT");
            const auto w = parseRanged(value.substr(0, x), 1, kMaxSide);
            const auto h = parseRanged(value.substr(x + 1), 1, kMaxSide);
            if (!w || !h) return fail("expected size=WIDTHxHEIGHT, each 1 to 32767");
            o.width = static_cast<int>(*w);
            o.height = static_cast<int>(*h);
        } else if (key == "fpga") {
            const auto v = parseRanged(value, 0, 255);
            if (!v) return fail("expected fpga=0 to 255 (2 is B2)");
            o.fpgaSelect = static_cast<int>(*v);
        } else if (key == "noinput") {
            bool on = false;
            if (!flag(on)) return fail("takes no value");
            o.input = false;
        } else if (key == "noanswer") {
            o.noAnswer = true;
            o.answeredBeforeSilence = 0;
            if (hasValue) {
                const auto v = parseRanged(value, 0, 1'000'000'000);
                if (!v)
                    return fail("expected noanswer or noanswer=NUMBER of reports answered first");
                o.answeredBeforeSilence = static_cast<int>(*v);
            }
        } else if (key == "zeros") {
            if (!flag(o.zeroAnswers)) return fail("takes no value");
        } else if (key == "late") {
            o.lateAnswers = true;
            o.answeredBeforeLate = 0;
            if (hasValue) {
                const auto v = parseRanged(value, 0, 1'000'000'000);
                if (!v)
                    return fail("expected late or late=NUMBER of reports answered in time first");
                o.answeredBeforeLate = static_cast<int>(*v);
            }
        } else if (key == "samepath") {
            if (!flag(o.replugSamePath)) return fail("takes no value");
        } else if (key == "hostwait") {
            const auto v = parseRanged(value, 1, 1000);
            if (!v) return fail("expected hostwait=MILLISECONDS, 1 to 1000");
            o.hostReadWait = std::chrono::milliseconds(*v);
        } else if (key == "coarse") {
            if (!flag(o.coarsePace)) return fail("takes no value");
        } else if (key == "unchecked") {
            bool unchecked = false;
            if (!flag(unchecked)) return fail("takes no value");
            o.viewChecks = !unchecked;
        } else if (key == "corrupt") {
            if (!flag(o.corruptFlash)) return fail("takes no value");
        } else if (key == "usb") {
            bool on = false;
            if (!flag(on)) return fail("takes no value");
            o.reportDelay = kFullSpeedReportTime;
        } else if (key == "delay") {
            const auto v = parseRanged(value, 0, 1'000'000);
            if (!v) return fail("expected delay=MICROSECONDS per report, 0 to 1000000");
            o.reportDelay = std::chrono::microseconds(*v);
        } else if (key == "unplug") {
            const auto v = parseRanged(value, 0, 1'000'000'000);
            if (!v) return fail("expected unplug=NUMBER of output reports");
            o.unplugAfter = static_cast<int>(*v);
        } else if (key == "replug") {
            const auto v = parseRanged(value, 0, 86'400'000);
            if (!v) return fail("expected replug=MILLISECONDS, 0 to 86400000");
            o.replugAfterMs = static_cast<int>(*v);
            replugSwitch = item;
        } else if (key == "polls") {
            if (value == "never") {
                o.checksumPolls = -1;
            } else {
                const auto v = parseRanged(value, 0, 1'000'000'000);
                if (!v) return fail("expected polls=NUMBER or polls=never");
                o.checksumPolls = static_cast<int>(*v);
            }
        } else if (key == "base") {
            const auto v = parseRanged(value, 0, 255);
            if (!v) return fail("expected base=0 to 0xFF (low byte of the timing block address)");
            o.timingBaseLow = static_cast<std::uint8_t>(*v);
        } else if (key == "basehigh") {
            const auto v = parseRanged(value, 0, 255);
            if (!v) return fail("expected basehigh=0 to 0xFF");
            o.timingBaseHigh = static_cast<std::uint8_t>(*v);
        } else if (key == "extra") {
            const auto v = parseRanged(value, 0, 64);
            if (!v) return fail("expected extra=0 to 64");
            o.extraInterfaces = static_cast<int>(*v);
        } else if (key == "restart") {
            if (!flag(o.replugRestarts)) return fail("takes no value");
        } else if (key == "busy") {
            o.busyHolder = -1;
            if (hasValue) {
                const auto v = parseRanged(value, 1, 1'000'000'000);
                if (!v) return fail("expected busy or busy=PID of the program that holds it");
                o.busyHolder = static_cast<long>(*v);
            }
        } else if (key == "refuse") {
            const auto v = parseRanged(value, 1, 1'000'000'000);
            if (!v) return fail("expected refuse=NUMBER of the output report not taken");
            o.refuseWrite = static_cast<int>(*v);
        } else if (key == "refusals") {
            const auto v = parseRanged(value, 1, 1'000'000'000);
            if (!v) return fail("expected refusals=NUMBER of output reports in a row not taken");
            o.refusals = static_cast<int>(*v);
        } else if (key == "keep") {
            if (value.empty()) return fail("expected keep=FILE");
            o.keepFile = std::string(value);
        } else if (key == "hold") {
            // hold=N1/N2/...: at Nk until the k-th stop signal.
            std::string_view rest = value;
            o.holdAt.clear();
            while (true) {
                const std::size_t slash = rest.find('/');
                const auto v = parseRanged(rest.substr(0, slash), 1, 1'000'000'000);
                if (!v || (!o.holdAt.empty() && *v <= o.holdAt.back()))
                    return fail("expected hold=N1/N2/... rising output report numbers");
                o.holdAt.push_back(static_cast<long>(*v));
                if (slash == std::string_view::npos) break;
                rest = rest.substr(slash + 1);
            }
        } else if (key == "stall") {
            const auto v = parseRanged(value, 1, 1'000'000'000);
            if (!v) return fail("expected stall=NUMBER of the output report that stalls first");
            o.stallFrom = static_cast<int>(*v);
        } else if (key == "id") {
            const std::size_t colon = value.find(':');
            const auto vid =
                colon == std::string_view::npos ? std::nullopt : parseHex16(value.substr(0, colon));
            const auto pid = colon == std::string_view::npos ? std::nullopt
                                                             : parseHex16(value.substr(colon + 1));
            if (!vid || !pid) return fail("expected id=VVVV:PPPP in hexadecimal");
            o.vendorId = *vid;
            o.productId = *pid;
        } else if (key == "units") {
            const auto v = parseRanged(value, 1, 64);
            if (!v) return fail("expected units=1 to 64");
            o.units = static_cast<int>(*v);
        } else if (key == "hvalue" || key == "vvalue") {
            const auto v = parseRanged(value, -32768, 65535);
            if (!v) return fail("expected a value from -32768 to 65535");
            (key == "hvalue" ? o.horizontalValue : o.verticalValue) = static_cast<std::int32_t>(*v);
        } else {
            return fail("unknown switch");
        }
    }
    if (!o.keepFile.empty() && o.units > 1) {
        error = "'keep' goes with one unit only";
        return std::nullopt;
    }
    if (o.replugAfterMs >= 0 && o.unplugAfter < 0) {
        error = "'" + replugSwitch + "': needs unplug=N (the unit must leave to come back)";
        return std::nullopt;
    }
    return o;
}

}  // namespace kavo3::sim
