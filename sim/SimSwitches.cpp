#include "sim/SimSwitches.h"

#include <array>
#include <charconv>
#include <optional>
#include <type_traits>
#include <vector>

namespace kavo3::sim {
namespace {

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
constexpr long long kCount = 1'000'000'000;  // the largest report count a switch takes

constexpr const char* kNoValue = "takes no value";

// A switch that takes no value and sets `member`.
template <auto member, auto to = true>
const char* flag(SimSwitchParse& p, const SimSwitchText& t) {
    if (t.hasValue) return kNoValue;
    p.options.*member = to;
    return nullptr;
}

// A switch NAME=N with N from `low` to `high`, stored in `member`.
template <auto member, long long low, long long high>
const char* number(SimSwitchParse& p, const SimSwitchText& t, const char* expected) {
    const auto v = parseRanged(t.value, low, high);
    if (!v) return expected;
    using Target = std::remove_reference_t<decltype(p.options.*member)>;
    p.options.*member = static_cast<Target>(*v);
    return nullptr;
}

#define KAVO3_NUMBER(member, low, high, expected)                          \
    [](SimSwitchParse& p, const SimSwitchText& t) -> const char* {         \
        return number<&SimOptions::member, low, high>(p, t, expected);     \
    }

const char* setSize(SimSwitchParse& p, const SimSwitchText& t) {
    const std::size_t x = t.value.find_first_of("xX");
    if (x == std::string_view::npos) return "expected size=WIDTHxHEIGHT";
    const auto w = parseRanged(t.value.substr(0, x), 1, kMaxSide);
    const auto h = parseRanged(t.value.substr(x + 1), 1, kMaxSide);
    if (!w || !h) return "expected size=WIDTHxHEIGHT, each 1 to 32767";
    p.options.width = static_cast<int>(*w);
    p.options.height = static_cast<int>(*h);
    return nullptr;
}

// NAME or NAME=N: switched on, after N reports (none without a value).
template <auto on, auto after>
const char* onAfter(SimSwitchParse& p, const SimSwitchText& t, const char* expected) {
    p.options.*on = true;
    p.options.*after = 0;
    if (!t.hasValue) return nullptr;
    const auto v = parseRanged(t.value, 0, kCount);
    if (!v) return expected;
    p.options.*after = static_cast<int>(*v);
    return nullptr;
}

const char* setReplug(SimSwitchParse& p, const SimSwitchText& t) {
    const auto v = parseRanged(t.value, 0, 86'400'000);
    if (!v) return "expected replug=MILLISECONDS, 0 to 86400000";
    p.options.replugAfterMs = static_cast<int>(*v);
    p.replugSwitch = t.item;
    return nullptr;
}

const char* setPolls(SimSwitchParse& p, const SimSwitchText& t) {
    if (t.value == "never") {
        p.options.checksumPolls = -1;
        return nullptr;
    }
    const auto v = parseRanged(t.value, 0, kCount);
    if (!v) return "expected polls=NUMBER or polls=never";
    p.options.checksumPolls = static_cast<int>(*v);
    return nullptr;
}

const char* setBusy(SimSwitchParse& p, const SimSwitchText& t) {
    p.options.busyHolder = -1;
    if (!t.hasValue) return nullptr;
    const auto v = parseRanged(t.value, 1, kCount);
    if (!v) return "expected busy or busy=PID of the program that holds it";
    p.options.busyHolder = static_cast<long>(*v);
    return nullptr;
}

const char* setKeep(SimSwitchParse& p, const SimSwitchText& t) {
    if (t.value.empty()) return "expected keep=FILE";
    p.options.keepFile = std::string(t.value);
    return nullptr;
}

// hold=N1/N2/...: at Nk until the k-th stop signal.
const char* setHold(SimSwitchParse& p, const SimSwitchText& t) {
    std::string_view rest = t.value;
    std::vector<long>& holdAt = p.options.holdAt;
    holdAt.clear();
    while (true) {
        const std::size_t slash = rest.find('/');
        const auto v = parseRanged(rest.substr(0, slash), 1, kCount);
        if (!v || (!holdAt.empty() && *v <= holdAt.back()))
            return "expected hold=N1/N2/... rising output report numbers";
        holdAt.push_back(static_cast<long>(*v));
        if (slash == std::string_view::npos) return nullptr;
        rest = rest.substr(slash + 1);
    }
}

const char* setId(SimSwitchParse& p, const SimSwitchText& t) {
    const std::size_t colon = t.value.find(':');
    if (colon == std::string_view::npos) return "expected id=VVVV:PPPP in hexadecimal";
    const auto vid = parseHex16(t.value.substr(0, colon));
    const auto pid = parseHex16(t.value.substr(colon + 1));
    if (!vid || !pid) return "expected id=VVVV:PPPP in hexadecimal";
    p.options.vendorId = *vid;
    p.options.productId = *pid;
    return nullptr;
}

template <auto member>
const char* frameValue(SimSwitchParse& p, const SimSwitchText& t) {
    const auto v = parseRanged(t.value, -32768, 65535);
    if (!v) return "expected a value from -32768 to 65535";
    p.options.*member = static_cast<std::int32_t>(*v);
    return nullptr;
}

const char* setUsb(SimSwitchParse& p, const SimSwitchText& t) {
    if (t.hasValue) return kNoValue;
    p.options.reportDelay = kFullSpeedReportTime;
    return nullptr;
}

const char* setDelay(SimSwitchParse& p, const SimSwitchText& t) {
    const auto v = parseRanged(t.value, 0, 1'000'000);
    if (!v) return "expected delay=MICROSECONDS per report, 0 to 1000000";
    p.options.reportDelay = std::chrono::microseconds(*v);
    return nullptr;
}

const char* setHostWait(SimSwitchParse& p, const SimSwitchText& t) {
    const auto v = parseRanged(t.value, 1, 1000);
    if (!v) return "expected hostwait=MILLISECONDS, 1 to 1000";
    p.options.hostReadWait = std::chrono::milliseconds(*v);
    return nullptr;
}

const std::array kSwitches{
    SimSwitch{"size", "size=WxH", "picture of W x H pixels (1 to 32767 each)", false, setSize},
    SimSwitch{"hvalue", "hvalue=N", "frame information reports N as the horizontal value", false,
              frameValue<&SimOptions::horizontalValue>},
    SimSwitch{"vvalue", "vvalue=N", "the same for the vertical value", false,
              frameValue<&SimOptions::verticalValue>},
    SimSwitch{"fpga", "fpga=N", "FPGA SELECT setting N (2 is B2, the capture setting)", false,
              KAVO3_NUMBER(fpgaSelect, 0, 255, "expected fpga=0 to 255 (2 is B2)")},
    SimSwitch{"noinput", "noinput", "no usable input picture", false,
              flag<&SimOptions::input, false>},
    SimSwitch{"noanswer", "noanswer[=N]", "takes every report but answers none (after its first N)",
              false,
              [](SimSwitchParse& p, const SimSwitchText& t) {
                  return onAfter<&SimOptions::noAnswer, &SimOptions::answeredBeforeSilence>(
                      p, t, "expected noanswer or noanswer=NUMBER of reports answered first");
              }},
    SimSwitch{"zeros", "zeros", "every answer is 64 zero bytes", false,
              flag<&SimOptions::zeroAnswers>},
    SimSwitch{"late", "late[=N]",
              "every answer (after the first N) arrives just after the read's wait", false,
              [](SimSwitchParse& p, const SimSwitchText& t) {
                  return onAfter<&SimOptions::lateAnswers, &SimOptions::answeredBeforeLate>(
                      p, t, "expected late or late=NUMBER of reports answered in time first");
              }},
    SimSwitch{"samepath", "samepath", "a unit plugged in again comes back at the path it left",
              false, flag<&SimOptions::replugSamePath>},
    SimSwitch{"unplug", "unplug=N", "gone after N output reports (0: not present at start)", false,
              KAVO3_NUMBER(unplugAfter, 0, kCount, "expected unplug=NUMBER of output reports")},
    SimSwitch{"replug", "replug=MS",
              "with unplug: back MS milliseconds after leaving, at another path", false, setReplug},
    SimSwitch{"restart", "restart",
              "with replug: back restarted, not still expecting a download's data", false,
              flag<&SimOptions::replugRestarts>},
    SimSwitch{"busy", "busy[=PID]",
              "another program holds the unit (its process number, if known)", false, setBusy},
    SimSwitch{"refuse", "refuse=N", "the system does not take output report N (1 = the first)",
              false,
              KAVO3_NUMBER(refuseWrite, 1, kCount,
                           "expected refuse=NUMBER of the output report not taken")},
    SimSwitch{"refusals", "refusals=K", "with refuse: K output reports in a row are not taken",
              false,
              KAVO3_NUMBER(refusals, 1, kCount,
                           "expected refusals=NUMBER of output reports in a row not taken")},
    SimSwitch{"keep", "keep=FILE",
              "the unit keeps what it is in the middle of (and its flash) in FILE\n"
              "between programs, as a unit stays powered when its program dies",
              false, setKeep},
    SimSwitch{"stall", "stall=N", "from output report N on the endpoint stalls, until replugged",
              false,
              KAVO3_NUMBER(stallFrom, 1, kCount,
                           "expected stall=NUMBER of the output report that stalls first")},
    SimSwitch{"units", "units=N",
              "N units on one bench, each with its own flash and link (1 to 64)", false,
              KAVO3_NUMBER(units, 1, 64, "expected units=1 to 64")},
    SimSwitch{"corrupt", "corrupt", "flash writes lose a bit now and then", false,
              flag<&SimOptions::corruptFlash>},
    SimSwitch{"polls", "polls=N|never", "the checksum is ready after N status polls, or never",
              false, setPolls},
    SimSwitch{"usb", "usb", "every report takes 1 ms each way, as on full-speed USB", false,
              setUsb},
    SimSwitch{"delay", "delay=US", "every report takes US microseconds each way", false,
              setDelay},
    SimSwitch{"base", "base=N", "low byte of the timing block address (default 0x20)", false,
              KAVO3_NUMBER(timingBaseLow, 0, 255,
                           "expected base=0 to 0xFF (low byte of the timing block address)")},
    SimSwitch{"basehigh", "basehigh=N", "high byte of the timing block address (default 0x01)",
              false, KAVO3_NUMBER(timingBaseHigh, 0, 255, "expected basehigh=0 to 0xFF")},
    SimSwitch{"extra", "extra=N", "N other HID interfaces listed before the unit", false,
              KAVO3_NUMBER(extraInterfaces, 0, 64, "expected extra=0 to 64")},
    SimSwitch{"id", "id=VVVV:PPPP", "the unit's vendor and product identifier (default 17a7:0001)",
              false, setId},
    SimSwitch{"hostwait", "hostwait=MS",
              "the host's read wait with the simulated unit (default 1000)", true, setHostWait},
    SimSwitch{"unchecked", "unchecked",
              "the unit's own view of the wire reports nothing it sees wrong", true,
              flag<&SimOptions::viewChecks, false>},
    SimSwitch{"coarse", "coarse",
              "with usb or delay: that pace kept by sleeping alone (no CPU spent)", true,
              flag<&SimOptions::coarsePace>},
    SimSwitch{"hold", "hold=N[/M..]",
              "holds on to output report N until the program hears a stop signal\n"
              "(and on to report M until it hears a second one)",
              true, setHold},
};

#undef KAVO3_NUMBER

}  // namespace

std::span<const SimSwitch> simSwitchTable() { return kSwitches; }

}  // namespace kavo3::sim
