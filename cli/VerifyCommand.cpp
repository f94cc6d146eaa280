// kavo3cli verify: is this file on the unit? The unit sums the file's area of its flash, as
// the download's verify asks it to, and the sum is compared with the file's; nothing is erased
// or written. With --all or several --device, each unit in turn.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/DownloadArea.h"
#include "cli/DownloadLine.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/Subcommands.h"
#include "cli/UnitAccess.h"
#include "download/UnitChecksum.h"
#include "link/StopSignals.h"

namespace kavo3::cli {

namespace {

struct Verdict {
    std::string unit;
    int exitCode = kExitNoUnit;
    std::string word;  // agree, differ, no unit, gone, never ready
    std::optional<std::uint16_t> romSum;
};

Verdict verifyOn(UnitRun& session, const std::string& name, std::uint32_t address,
                 std::uint32_t length, std::uint16_t fileSum) {
    Verdict verdict;
    verdict.unit = name;
    if (!connect(session)) {
        verdict.word = "no unit";
        return verdict;
    }
    const download::UnitChecksum answer = download::askUnitChecksum(
        session.talk(), address, length,
        download::ChecksumPacing{settleWait, [] { return link::stopRequested(); }});
    if (answer.answer == download::UnitChecksum::Answer::Stopped) {
        verdict.exitCode = kExitInterrupted;
        verdict.word = "stopped";
        return verdict;
    }
    // A sum from a unit that left, fell silent or did not take the request on the way says
    // nothing of its flash.
    if (!stayedConnected(session) || answer.answer == download::UnitChecksum::Answer::UnitGone) {
        verdict.word = "gone";
        return verdict;
    }
    if (answer.answer != download::UnitChecksum::Answer::Ready) {
        verdict.exitCode = kExitChecksumNeverReady;
        verdict.word = "never ready";
        return verdict;
    }
    verdict.romSum = answer.sum;
    const bool agree = answer.sum == fileSum;
    verdict.exitCode = agree ? kExitOk : kExitChecksumMismatch;
    verdict.word = agree ? "agree" : "differ";
    return verdict;
}

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

}  // namespace

int runVerify(const UnitOptions& options, const DownloadRequest& request, bool allUnits) {
    int exitCode = kExitOk;
    const std::uint32_t length = checkDownload(request, exitCode);
    if (length == 0) return exitCode;
    const auto fileSum = download::fileChecksum(argumentPath(request.file), length);
    if (!fileSum) {
        std::fprintf(stderr, "kavo3cli: %s: cannot be read to its end\n", request.file.c_str());
        return kExitRefusedFile;
    }
    nlohmann::ordered_json& doc = report();
    doc["file"] = request.file;
    doc["address"] = request.address;
    doc["length"] = length;
    doc["file_sum"] = *fileSum;

    std::vector<Verdict> verdicts;
    if (allUnits || options.devices.size() > 1) {
        auto source = createBus(options, exitCode);
        if (!source) return exitCode;
        std::vector<std::string> names = options.devices;
        if (allUnits) {
            if (!names.empty()) {
                std::fprintf(stderr, "kavo3cli: --all and --device do not go together\n");
                return kExitUsage;
            }
            for (const link::UnitEntry& unit : source->units()) names.push_back(unitName(unit));
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            // One trace file per unit, numbered as the results list them.
            const std::string tracePath =
                options.tracePath.empty() ? "" : options.tracePath + "." + std::to_string(i + 1);
            auto session = createUnitFor(*source, names[i], tracePath, exitCode);
            if (!session) return exitCode;
            verdicts.push_back(verifyOn(*session, names[i], request.address, length, *fileSum));
            if (verdicts.back().exitCode == kExitInterrupted) break;
        }
    } else {
        auto session = createUnit(options, exitCode);
        if (!session) return exitCode;
        const std::string name = options.devices.empty() ? "" : options.devices.front();
        verdicts.push_back(verifyOn(*session, name, request.address, length, *fileSum));
        if (verdicts.back().unit.empty())
            verdicts.back().unit =
                verdicts.back().word == "no unit" ? "-" : session->link().DevicePath();
    }
    if (verdicts.empty()) {
        std::fprintf(stderr,
                     "kavo3cli: no KAVO-3 found. Check the USB cables and the units' power; "
                     "'kavo3cli doctor' says what it sees.\n");
        return kExitNoUnit;
    }

    note("%s: %u bytes at 0x%06X, file sum %s\n", request.file.c_str(), length, request.address,
         hex4(*fileSum).c_str());
    nlohmann::ordered_json results = nlohmann::ordered_json::array();
    int worst = kExitOk;
    for (const Verdict& v : verdicts) {
        result("%s  %-11s rom=%s file=%s\n", v.unit.c_str(), v.word.c_str(),
               v.romSum ? hex4(*v.romSum).c_str() : "-", hex4(*fileSum).c_str());
        results.push_back({{"unit", v.unit},
                           {"verdict", v.word},
                           {"exit", v.exitCode},
                           {"rom_sum", v.romSum ? nlohmann::ordered_json(*v.romSum) : nullptr}});
        worst = std::max(worst, v.exitCode);
        if (v.exitCode == kExitChecksumMismatch)
            std::fprintf(stderr,
                         "kavo3cli: %s: the flash from 0x%06X does not hold %s (its sum is "
                         "%s, the file's %s)\n",
                         v.unit.c_str(), request.address, request.file.c_str(),
                         hex4(*v.romSum).c_str(), hex4(*fileSum).c_str());
    }
    bool alike = true;
    for (const Verdict& v : verdicts) alike = alike && v.word == verdicts.front().word;
    doc["verdict"] = alike ? verdicts.front().word : "mixed";
    doc["results"] = std::move(results);
    return worst;
}

void addVerifyCommand(CLI::App& app, Subcommands& commands) {
    CLI::App* verify = Subcommands::add(
        app, "verify",
        "Whether FILE is in the unit's flash, by the unit's checksum; nothing is erased or written");
    auto line = addDownloadLine(
        *verify, {"The file that should be there", "Flash address the file was downloaded to",
                  "Every unit attached, one after the other",
                  "Take a file over 1 MiB and compare only its first 1 MiB, as a download "
                  "writes it"});
    commands.runs(
        verify,
        [line](const UnitOptions& unit) { return runVerify(unit, line->parsed(), line->allUnits); },
        false);
}

}  // namespace kavo3::cli
