// The sequences the exploration runs, each as the program composes it from the Qt-free cores,
// on one thread against a bench of simulated units.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "download/DownloadSequence.h"
#include "link/DeviceLink.h"
#include "sim/SimBench.h"
#include "timing/TimingDataFile.h"

namespace kavo3::explore {

// What the sequences read and write, made once for the whole exploration.
struct Files {
    std::filesystem::path folder;
    std::filesystem::path download;  // a small file, not a multiple of 8 bytes long
    std::vector<std::uint8_t> downloadBytes;
    timing::TimingFileData timingData;  // a whole data file, loaded from disk
    std::filesystem::path timingSave;   // where timing save writes
    int timingSetValue = 0;             // h2pos, differing from the unit's
};

inline constexpr std::uint32_t kDownloadAddress = 0x0E8000;

// One run of the program: its links to the bench and what its sequence left for the oracle.
struct Program {
    sim::SimBench& bench;
    link::UnitLedger& ledger;  // the case's own: what each unit is in the middle of
    std::vector<std::unique_ptr<link::DeviceLink>> links;  // one, or one per unit
    std::function<bool()> stopRequested;
    const Files& files;
    // Per link, for a download: its verdict.
    std::vector<std::optional<download::DownloadResult>> downloads;
};

struct Sequence {
    const char* name;
    int units;         // units on the bench
    bool linkPerUnit;  // each unit its own link, as download --all; else one link over all
    bool downloads;    // it writes the flash at kDownloadAddress
    bool sampleStops;  // long: a stop at a sample of report indexes, not at every one
    void (*run)(Program&);
};

std::span<const Sequence> sequences();

// The program's next sequence after the one explored: a key press on every link.
void followUp(Program& program);

}  // namespace kavo3::explore
