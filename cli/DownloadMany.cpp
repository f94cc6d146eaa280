// kavo3cli download --all / several --device: every unit on a thread and a link of its own,
// so that eight units on a hub take the time of one.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/DownloadArea.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/UnitAccess.h"
#include "download/ErasePlan.h"
#include "download/DownloadSequence.h"
#include "link/StopSignals.h"
#include "operate/DownloadHooks.h"
#include "operate/DownloadVerdicts.h"

namespace kavo3::cli {

namespace {

using Clock = std::chrono::steady_clock;

struct UnitDownload {
    std::string name;
    std::unique_ptr<UnitRun> unit;
    std::atomic<std::uint32_t> sent{0};  // data bytes handed to the link
    std::atomic<bool> done{false};
    // Written by the unit's thread before `done`, read after it.
    int exitCode = kExitNoUnit;
    std::string verdict;
    download::DownloadResult result;
    double seconds = 0;
};

std::string hex(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

void downloadTo(const DownloadRequest& request, const std::vector<std::uint8_t>& copy,
                UnitDownload& run) {
    const Clock::time_point start = Clock::now();
    UnitRun* unit = run.unit.get();
    if (!connect(*unit)) {
        run.exitCode = kExitNoUnit;
        run.verdict = operate::kNoUnitWord;
    } else {
        download::DownloadView view;
        view.progress = [&run](std::uint32_t offset) {
            run.sent.store(offset + download::kDataReportBytes, std::memory_order_relaxed);
        };
        // A stop in the data phase sends the rest as erased bytes, so no unit is left halfway.
        view.padding = [&run](std::uint32_t reportsOwed) {
            std::fprintf(stderr,
                         "kavo3cli: %s: stopping: the unit still expects %u data reports; they go "
                         "as erased bytes (0xFF), then it takes commands again.\n",
                         run.name.c_str(), reportsOwed);
        };
        download::DownloadSequence download(unit->link(), operate::downloadCallbacks(std::move(view)));
        // On the attachment the connection check answered on, never on one found later.
        const download::DownloadResult result =
            download.run(unit->talk(), request.address, copy);
        if (stayedConnected(*unit)) {
            const operate::DownloadVerdict& verdict = operate::verdictOf(result.outcome);
            run.result = result;
            run.exitCode = verdict.exitCode;  // a stop's is replaced by the signal's status
            run.verdict = verdict.word;
        } else {
            run.exitCode = kExitNoUnit;
            run.verdict = operate::verdictOf(download::Outcome::UnitGone).word;
        }
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.done.store(true, std::memory_order_release);
}

// One line per unit, redrawn in place.
class ProgressLines {
  public:
    ProgressLines(std::vector<std::unique_ptr<UnitDownload>>& runs, std::uint32_t total)
        : runs_(runs), total_(total) {}

    void draw(bool again) {
        if (again) std::fprintf(stderr, "\x1b[%zuA", runs_.size());
        for (const auto& run : runs_) {
            const std::uint32_t sent = run->sent.load(std::memory_order_relaxed);
            const int percent = static_cast<int>(std::uint64_t{sent} * 100 / total_);
            const bool done = run->done.load(std::memory_order_acquire);
            std::fprintf(stderr, "\x1b[2K%-32s %3d %%  %s\n", run->name.c_str(), percent,
                         done ? run->verdict.c_str() : "");
        }
        std::fflush(stderr);
    }

  private:
    std::vector<std::unique_ptr<UnitDownload>>& runs_;
    std::uint32_t total_;
};

void printTable(const std::vector<std::unique_ptr<UnitDownload>>& runs) {
    std::size_t width = 4;
    for (const auto& run : runs) width = std::max(width, run->name.size());
    std::printf("%-*s  %-20s  %-4s  %-4s  %8s\n", static_cast<int>(width), "unit", "verdict", "rom",
                "file", "time");
    for (const auto& run : runs) {
        const bool summed = run->exitCode == kExitOk || run->exitCode == kExitChecksumMismatch;
        std::printf("%-*s  %-20s  %-4s  %-4s  %7.1fs\n", static_cast<int>(width), run->name.c_str(),
                    run->verdict.c_str(), summed ? hex(run->result.romSum).c_str() : "-",
                    summed ? hex(run->result.fileSum).c_str() : "-", run->seconds);
    }
}

// The summary in the run's JSON document: one result per unit.
void addToReport(const std::vector<std::unique_ptr<UnitDownload>>& runs) {
    nlohmann::ordered_json results = nlohmann::ordered_json::array();
    bool alike = true;
    for (const auto& run : runs) {
        const bool summed = run->exitCode == kExitOk || run->exitCode == kExitChecksumMismatch;
        results.push_back(
            {{"unit", run->name},
             {"verdict", run->verdict},
             {"exit", run->exitCode},
             {"rom_sum", summed ? nlohmann::ordered_json(run->result.romSum) : nullptr},
             {"file_sum", summed ? nlohmann::ordered_json(run->result.fileSum) : nullptr},
             {"seconds", run->seconds}});
        alike = alike && run->verdict == runs.front()->verdict;
    }
    report()["verdict"] = runs.empty() ? "no unit" : alike ? runs.front()->verdict : "mixed";
    report()["results"] = std::move(results);
}

}  // namespace

int runDownloadMany(const UnitOptions& options, const DownloadRequest& request, bool allUnits) {
    int exitCode = kExitOk;
    std::vector<std::uint8_t> copy;
    const std::uint32_t length = checkDownload(request, exitCode, &copy);
    if (length == 0) return exitCode;
    report()["file"] = request.file;
    report()["address"] = request.address;
    report()["length"] = length;
    auto source = createBus(options, exitCode);
    if (!source) return exitCode;

    std::vector<std::string> names = options.devices;
    if (allUnits) {
        if (!names.empty()) {
            std::fprintf(stderr, "kavo3cli: --all and --device do not go together\n");
            return kExitUsage;
        }
        for (const link::UnitEntry& unit : source->units()) names.push_back(unitName(unit));
        if (names.empty()) {
            std::fprintf(stderr,
                         "kavo3cli: no KAVO-3 found. Check the USB cables and the units' power; "
                         "'kavo3cli doctor' says what it sees.\n");
            return kExitNoUnit;
        }
    }

    // Two names of one unit (its port path and its node path, or one name twice) would give it
    // two downloads at once; refused before anything is sent.
    {
        const std::vector<link::UnitEntry> units = source->units();
        std::vector<std::string> named(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            for (const link::UnitEntry& unit : units)
                if (link::namesInterface(source->all(), unit.path, names[i])) named[i] = unit.path;
            for (std::size_t j = 0; j < i; ++j) {
                const bool same = names[j] == names[i] ||
                                  (!named[i].empty() && named[j] == named[i]);
                if (!same) continue;
                std::fprintf(stderr,
                             "kavo3cli: --device %s and --device %s name the same unit; name each "
                             "unit once\n",
                             names[j].c_str(), names[i].c_str());
                return kExitUsage;
            }
        }
    }

    std::vector<std::unique_ptr<UnitDownload>> runs;
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto run = std::make_unique<UnitDownload>();
        run->name = names[i];
        // One trace file per unit, numbered as the summary lists them.
        const std::string tracePath =
            options.tracePath.empty() ? "" : options.tracePath + "." + std::to_string(i + 1);
        // Set up here, before any unit runs: finding a unit's own transport looks at them all.
        run->unit = createUnitFor(*source, run->name, tracePath, exitCode);
        if (!run->unit) {
            run->exitCode = exitCode;
            run->verdict = "trace not written";
            run->done = true;
        }
        runs.push_back(std::move(run));
    }

    // A stop (Ctrl-C, SIGTERM, SIGHUP, SIGPIPE) reaches every unit; each one in its data phase
    // is given the rest of it as padding first.
    const bool terminal = progressShown();
    ProgressLines lines(runs, download::paddedLength(length));
    if (terminal) lines.draw(false);
    std::vector<std::thread> threads;
    for (auto& run : runs)
        if (run->unit)
            threads.emplace_back(downloadTo, std::cref(request), std::cref(copy), std::ref(*run));

    // The lines are redrawn from here, so the units' threads never wait for the terminal.
    if (terminal) {
        for (;;) {
            bool all = true;
            for (const auto& run : runs) all = all && run->done.load(std::memory_order_acquire);
            if (all) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            lines.draw(true);
        }
    }
    for (std::thread& thread : threads) thread.join();
    if (terminal) lines.draw(true);

    int worst = kExitOk;
    for (const auto& run : runs) worst = std::max(worst, run->exitCode);
    addToReport(runs);
    if (!outputMode().json) printTable(runs);
    return worst;
}

}  // namespace kavo3::cli
