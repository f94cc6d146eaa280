// kavo3cli timing: the timing window's sequences. Each run opens the unit's timing access as
// the window's opening does, and closes it again as closing the window does.
#include <cstdio>
#include <memory>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Numbers.h"
#include "cli/Output.h"
#include "cli/OutputFile.h"
#include "cli/Subcommands.h"
#include "link/StopSignals.h"
#include "timing/TimingFileIo.h"
#include "timing/TimingParameters.h"
#include "timing/TimingSequence.h"

namespace kavo3::cli {

namespace {

using timing::kTimingParameters;

const timing::TimingParameter* parameterNamed(std::string_view name) {
    for (const auto& p : kTimingParameters)
        if (name == p.name) return &p;
    return nullptr;
}

// The unit with its timing access open, as while the timing window is open, on the run's
// one attachment.
class OpenTiming {
  public:
    explicit OpenTiming(UnitRun& unit) : unit_(unit) {
        timing::openTiming(unit.talk(), state, settleWait);
    }
    // However the run ends, the unit's timing access is closed again.
    ~OpenTiming() { close(); }
    OpenTiming(const OpenTiming&) = delete;
    OpenTiming& operator=(const OpenTiming&) = delete;

    link::Conversation& talk() { return unit_.talk(); }
    timing::TimingState state;

    // Timing access end; true when the unit took and answered it. Once only.
    bool close() {
        if (closed_) return closedWell_;
        closed_ = true;
        closedWell_ = timing::closeTiming(unit_.talk());
        return closedWell_;
    }
    // Closes, then judges the whole run, the close included.
    bool closedAndConnected() {
        close();
        return stayedConnected(unit_);
    }

  private:
    UnitRun& unit_;
    bool closed_ = false;
    bool closedWell_ = false;
};

int stoppedText(const char* what) {
    std::fprintf(stderr, "kavo3cli: %s stopped; the unit's timing access was closed.\n", what);
    return kExitInterrupted;
}

int outOfReach(const char* what) {
    std::fprintf(stderr,
                 "kavo3cli: %s: the unit's timing block address leaves these registers out of "
                 "reach.\n",
                 what);
    return kExitOutOfReach;
}

// The fourteen values, for people and in the JSON document (null where not readable).
void printParameters(const timing::TimingState& state) {
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    for (const auto& p : kTimingParameters) {
        if (state.windowRead(p.lowByte)) {
            result("%-12s %d\n", p.name, p.valueIn(state.TimingRegisters));
            parameters[p.name] = p.valueIn(state.TimingRegisters);
        } else {
            result("%-12s -   (not readable at this base address)\n", p.name);
            parameters[p.name] = nullptr;
        }
    }
    report()["parameters"] = std::move(parameters);
}

}  // namespace

int runTimingShow(const UnitOptions& options) {
    int exitCode = kExitOk;
    auto unit = openUnit(options, exitCode);
    if (!unit) return exitCode;
    OpenTiming timing(*unit);
    if (!timing.closedAndConnected()) return kExitNoUnit;
    printParameters(timing.state);
    return kExitOk;
}

int runTimingSet(const UnitOptions& options, const std::vector<std::string>& assignments) {
    // Every assignment is checked before anything is sent.
    std::vector<std::pair<const timing::TimingParameter*, int>> changes;
    for (const std::string& assignment : assignments) {
        const auto equals = assignment.find('=');
        const auto* parameter =
            equals == std::string::npos ? nullptr : parameterNamed(assignment.substr(0, equals));
        if (!parameter) {
            std::fprintf(stderr,
                         "kavo3cli: %s: expected NAME=VALUE with one of the names that 'kavo3cli "
                         "timing show' prints\n",
                         assignment.c_str());
            return kExitUsage;
        }
        const auto value = parseNumber(std::string_view(assignment).substr(equals + 1));
        if (!value || *value > static_cast<std::uint32_t>(parameter->maximum)) {
            std::fprintf(stderr, "kavo3cli: %s: the value must be a number from 0 to %d\n",
                         assignment.c_str(), parameter->maximum);
            return kExitUsage;
        }
        changes.emplace_back(parameter, static_cast<int>(*value));
    }

    int exitCode = kExitOk;
    auto unit = openUnit(options, exitCode);
    if (!unit) return exitCode;
    OpenTiming timing(*unit);
    // Nothing is written from a block that was not read whole from this unit.
    if (!stayedConnected(*unit)) return kExitNoUnit;
    report()["changes"] = nlohmann::ordered_json::array();
    for (const auto& [parameter, value] : changes) {
        if (!timing.state.windowRead(parameter->lowByte)) {
            outOfReach(parameter->name);
            std::fprintf(stderr, "kavo3cli: nothing was written for %s.\n", parameter->name);
            exitCode = kExitOutOfReach;
            continue;
        }
        if (link::stopRequested()) return stoppedText("timing set");
        const int before = parameter->valueIn(timing.state.TimingRegisters);
        timing::changeParameter(timing.talk(), timing.state, *parameter, value);
        if (!stayedConnected(*unit)) return kExitNoUnit;
        result("%-12s %d (was %d)\n", parameter->name, value, before);
        report()["changes"].push_back({{"name", parameter->name}, {"value", value}, {"was", before}});
    }
    if (!timing.closedAndConnected()) return kExitNoUnit;
    return exitCode;
}

int runTimingSave(const UnitOptions& options, const std::string& file) {
    int exitCode = checkOutputFile(file, file, "kavo3_syc1.bin");
    if (exitCode != kExitOk) return exitCode;
    auto unit = openUnit(options, exitCode);
    if (!unit) return exitCode;
    OpenTiming timing(*unit);
    // An image read from a unit that went away holds zeros, not its registers.
    if (!timing.closedAndConnected()) return kExitNoUnit;
    if (link::stopRequested()) return stoppedText("timing save");
    if (!timing::saveTimingFile(argumentPath(file), timing.state.TimingRegisters)) {
        std::fprintf(stderr,
                     "kavo3cli: cannot write %s; nothing was saved. Check that the folder exists "
                     "and can be written to.\n",
                     file.c_str());
        return kExitFailure;
    }
    result("saved %s (%zu bytes)\n", file.c_str(), timing::kTimingFileSize);
    report()["file"] = file;
    report()["length"] = timing::kTimingFileSize;
    return kExitOk;
}

int runTimingLoad(const UnitOptions& options, const std::string& file) {
    // A refused file changes nothing, here or in the unit.
    const timing::TimingFileData data = timing::loadTimingFile(argumentPath(file));
    switch (data.error) {
        case timing::TimingFileError::None:
            break;
        case timing::TimingFileError::CannotOpen:
            std::fprintf(stderr, "kavo3cli: %s: cannot be opened or read\n", file.c_str());
            return kExitRefusedFile;
        case timing::TimingFileError::TooShort:
            std::fprintf(stderr,
                         "kavo3cli: %s: shorter than 256 bytes, so not a timing data file; "
                         "nothing was loaded\n",
                         file.c_str());
            return kExitRefusedFile;
        case timing::TimingFileError::ValueOutOfRange:
            std::fprintf(stderr,
                         "kavo3cli: %s: holds a 16-bit value above 4095, which the unit cannot "
                         "take; nothing was loaded\n",
                         file.c_str());
            return kExitRefusedFile;
    }

    int exitCode = kExitOk;
    auto unit = openUnit(options, exitCode);
    if (!unit) return exitCode;
    OpenTiming timing(*unit);
    if (!stayedConnected(*unit)) return kExitNoUnit;
    timing::applyTimingFile(data, timing.state.TimingRegisters);
    int written = 0;
    const auto last = timing::writeLoadedWindows(
        timing.talk(), timing.state, settleWait, [&written](std::size_t) { ++written; },
        [] { return link::stopRequested(); });
    if (!last) return outOfReach("nothing was written");
    // Even a stopped load completes what it wrote, so that the unit takes the registers whole.
    timing::writeEnd(timing.talk(), *last);
    if (!timing.closedAndConnected()) return kExitNoUnit;
    if (link::stopRequested()) {
        std::fprintf(stderr, "kavo3cli: timing load stopped after %d of %zu windows.\n", written,
                     timing::kTimingLoadWindows);
        return stoppedText("timing load");
    }
    result("loaded %s: %d of %zu windows written\n", file.c_str(), written,
           timing::kTimingLoadWindows);
    report()["file"] = file;
    report()["windows_written"] = written;
    printParameters(timing.state);
    // A load that reached only part of the registers did not load the file.
    return static_cast<std::size_t>(written) == timing::kTimingLoadWindows
               ? kExitOk
               : outOfReach("the windows not written");
}

namespace {

// The fourteen names `timing set` takes, with their ranges, as `timing show` prints them.
std::string timingNamesHelp() {
    std::string text = "Parameters (NAME=VALUE, decimal or 0x hexadecimal):\n";
    int column = 0;
    for (const auto& p : kTimingParameters) {
        char item[40];
        std::snprintf(item, sizeof item, "  %-12s 0..%-6d", p.name, p.maximum);
        text += item;
        if (++column % 3 == 0) text += '\n';
    }
    if (column % 3 != 0) text += '\n';
    return text;
}

}  // namespace

void addTimingCommands(CLI::App& app, Subcommands& commands) {
    CLI::App* timing = Subcommands::add(app, "timing", "The unit's video timing registers");
    timing->require_subcommand(1);

    auto file = std::make_shared<std::string>();
    CLI::App* show = Subcommands::add(
        *timing, "show", "Print the fourteen timing parameters, of the unit or of a saved FILE");
    show->add_option("FILE", *file, "A timing data file to show instead; no unit needed");
    commands.runs(
        show,
        [file](const UnitOptions& unit) {
            return file->empty() ? runTimingShow(unit) : showTimingFile(*file);
        },
        false);

    auto assignments = std::make_shared<std::vector<std::string>>();
    CLI::App* set = Subcommands::add(*timing, "set", "Change parameters, e.g. h2pos=120 vsw=6");
    set->footer(timingNamesHelp() + "\n" + Subcommands::commonOptionsHelp());
    set->add_option("NAME=VALUE", *assignments, "Parameter names as 'timing show' prints them")
        ->required();
    commands.runs(set, [assignments](const UnitOptions& unit) {
        return runTimingSet(unit, *assignments);
    });

    CLI::App* save =
        Subcommands::add(*timing, "save", "Save the register image as a 257-byte timing data file");
    save->add_option("FILE", *file, "The file to write, in a folder that exists")->required();
    commands.runs(save, [file](const UnitOptions& unit) { return runTimingSave(unit, *file); });

    CLI::App* load =
        Subcommands::add(*timing, "load", "Load a timing data file and write it to the unit");
    load->add_option("FILE", *file, "The file to read")->required();
    commands.runs(load, [file](const UnitOptions& unit) { return runTimingLoad(unit, *file); });

    auto files = std::make_shared<std::vector<std::string>>();
    CLI::App* diff = Subcommands::add(
        *timing, "diff", "The parameters two timing data files differ in; no unit needed");
    diff->add_option("A B", *files, "The two files")->required()->expected(2);
    commands.runs(diff, [files](const UnitOptions&) {
        return diffTimingFiles((*files)[0], (*files)[1]);
    });
}

}  // namespace kavo3::cli
