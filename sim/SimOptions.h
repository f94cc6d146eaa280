// How the simulated unit behaves: its identity, its picture and its faults.
// KAVO3_SIM carries the same settings as comma-separated switches.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavo3::sim {

struct SimOptions {
    std::uint16_t vendorId = 0x17A7, productId = 0x0001;
    // Picture size; frame information reports width - 7 and height - 10.
    int width = 720, height = 480;
    // Raw frame-information values instead of the ones derived from the size (limits,
    // overflow); only the low 16 bits go on the wire.
    std::optional<std::int32_t> horizontalValue, verticalValue;
    int fpgaSelect = 2;
    bool input = true;
    int units = 1;                  // units on one bench, each with its own flash and link pace
    bool noAnswer = false;          // takes every report, answers none (after the first ones)
    int answeredBeforeSilence = 0;  // with noAnswer: reports answered before it falls silent
    bool zeroAnswers = false;       // answers with all-zero reports
    bool lateAnswers = false;       // each answer arrives only after the read's wait has ended
    int answeredBeforeLate = 0;     // with lateAnswers: reports answered in time before that
    int unplugAfter = -1;           // gone after answering N output reports (-1 = never)
    int replugAfterMs = -1;         // with unplugAfter: back this long after leaving (-1 = never)
    bool replugRestarts = false;    // with replugAfterMs: back restarted, not still mid-write
    bool corruptFlash = false;      // flash writes lose bits
    int checksumPolls = 0;          // status polls answered "not ready" first; -1 = never ready
    std::chrono::microseconds reportDelay{0};  // link time per report, each way
    // The link's pace kept by sleeping alone: exact on average, not per report, and no CPU
    // spent waiting (so that a benchmark's CPU is the host's).
    bool coarsePace = false;
    std::uint8_t timingBaseLow = 0x20, timingBaseHigh = 0x01;
    int extraInterfaces = 0;  // other HID interfaces listed before the unit
    long busyHolder = 0;      // another program holds the unit: its PID, -1 if unknown (0: free)
    bool replugSamePath = false;  // a unit plugged in again comes back at the path it left
    // The host's read wait with this unit, for tests that must not wait the product's second
    // for every unanswered read (unset: the product's wait).
    std::optional<std::chrono::milliseconds> hostReadWait;
    int refuseWrite = -1;  // this output report (1 = the first) is not taken (-1 = none)
    int refusals = 1;      // with refuseWrite: that many output reports in a row are not taken
    // Where the unit keeps what it is in the middle of between programs, as a real unit stays
    // powered when the program that talked to it dies (empty: it lives with this program).
    std::string keepFile;
    // Holds on to output report N[k] (once taken) until the program has heard k + 1 stop
    // signals, so that a test stops it exactly there, however busy the machine.
    std::vector<long> holdAt;
    // From this output report on (1 = the first) every write stalls, until the unit is plugged
    // in again (-1 = never).
    int stallFrom = -1;
    // The unit's own view of the wire checks what arrives; off only to show what it catches.
    bool viewChecks = true;

    bool operator==(const SimOptions&) const = default;
};

// A full-speed USB HID link moves one report per millisecond.
inline constexpr std::chrono::microseconds kFullSpeedReportTime{1000};

// Parses "size=1920x1080,fpga=1,noinput,..." (README lists every switch). An empty text gives
// the defaults. On a bad switch returns nullopt and says why in `error`.
std::optional<SimOptions> parseSimSwitches(std::string_view text, std::string& error);

}  // namespace kavo3::sim
