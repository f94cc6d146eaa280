// kavo3cli download: the ROM download of the main window's "kavo cmd　load" button.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/DownloadArea.h"
#include "cli/DownloadLine.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Subcommands.h"
#include "download/ErasePlan.h"
#include "download/DownloadSequence.h"
#include "download/StatusTexts.h"
#include "operate/DownloadHooks.h"
#include "operate/DownloadVerdicts.h"

namespace kavo3::cli {

namespace {

// How far a stopped run got, and what the flash holds now.
void sayStopped(const char* file, std::uint32_t address, std::uint32_t written,
                std::uint32_t length) {
    if (written == 0) {
        std::fprintf(stderr,
                     "kavo3cli: download stopped before any of %s was written; the flash from "
                     "0x%06X may be erased. The unit takes commands.\n",
                     file, address);
    } else if (written < length) {
        std::fprintf(stderr,
                     "kavo3cli: download stopped: the flash at 0x%06X holds part of %s (its "
                     "first %u of %u bytes), the rest of the area is erased. The unit takes "
                     "commands; download the file again.\n",
                     address, file, written, length);
    } else {
        std::fprintf(stderr,
                     "kavo3cli: download stopped before its verify: the flash holds %s, but "
                     "unverified.\n",
                     file);
    }
}

}  // namespace

int runDownload(const UnitOptions& unitOptions, const DownloadRequest& request) {
    int exitCode = kExitOk;
    std::vector<std::uint8_t> copy;
    const std::uint32_t length = checkDownload(request, exitCode, &copy);
    if (length == 0) return exitCode;
    const std::string& file = request.file;
    const std::uint32_t address = request.address;

    auto unit = openUnit(unitOptions, exitCode);
    if (!unit) return exitCode;

    Progress progress("download", download::paddedLength(length), Progress::Unit::Bytes);
    std::chrono::steady_clock::time_point dataStart;
    std::uint32_t reportsSent = 0;
    bool dataStarted = false;
    std::string lastStatus;
    download::DownloadView view;
    // The texts of the main window's status line, each once; a bar stands in for the offsets.
    // The phases are progress; the verdict at the end is the result.
    view.status = [&](const std::string& text) {
        if (text == lastStatus) return;
        lastStatus = text;
        if (dataStarted) progress.finish();
        const bool verdict = text.starts_with("Chack sum=") || text.starts_with("Write error");
        if (verdict)
            result("%s\n", text.c_str());
        else
            note("%s\n", text.c_str());
    };
    view.progress = [&](std::uint32_t offset) {
        if (!dataStarted) dataStart = std::chrono::steady_clock::now();
        dataStarted = true;
        reportsSent = offset / download::kDataReportBytes;
        progress.update(offset + download::kDataReportBytes);
    };
    view.padding = [&](std::uint32_t reportsOwed) {
        progress.finish();
        // The padding goes at the pace the data went.
        const std::chrono::duration<double> sofar = std::chrono::steady_clock::now() - dataStart;
        const double seconds = reportsSent == 0 ? 0.0 : sofar.count() * reportsOwed / reportsSent;
        std::fprintf(stderr,
                     "kavo3cli: stopping: the unit still expects %u data reports; they go as "
                     "erased bytes (0xFF), about %.1f s, and then it takes commands again. "
                     "Ctrl-C again abandons at once (then switch the unit off and on).\n",
                     reportsOwed, seconds);
    };

    download::DownloadSequence run(unit->link(), operate::downloadCallbacks(std::move(view)));
    const download::DownloadResult result = run.run(unit->talk(), address, copy);
    progress.finish();
    nlohmann::ordered_json& doc = report();
    doc["file"] = file;
    doc["address"] = address;
    doc["length"] = length;
    // Whatever the verdict, it stands only when the one unit took and answered everything.
    if (!stayedConnected(*unit)) {
        doc["verdict"] = operate::verdictOf(download::Outcome::UnitGone).word;
        return kExitNoUnit;
    }
    const bool summed = result.outcome == download::Outcome::WriteOk ||
                        result.outcome == download::Outcome::SumMismatch;
    doc["verdict"] = operate::verdictOf(result.outcome).word;
    doc["file_sum"] = summed ? nlohmann::ordered_json(result.fileSum) : nullptr;
    doc["results"] = nlohmann::ordered_json::array(
        {{{"unit", unit->link().DevicePath()},
          {"verdict", operate::verdictOf(result.outcome).word},
          {"rom_sum", summed ? nlohmann::ordered_json(result.romSum) : nullptr},
          {"file_sum", summed ? nlohmann::ordered_json(result.fileSum) : nullptr}}});

    switch (result.outcome) {
        case download::Outcome::Stopped:
            sayStopped(file.c_str(), address, result.length, length);
            break;
        case download::Outcome::UnitGone:
            // Found again meanwhile: it was settled first, but the download is not done.
            std::fprintf(stderr,
                         "kavo3cli: the unit went away during the download; the flash does not "
                         "hold the file. Download it again.\n");
            break;
        case download::Outcome::WriteRefused:
            std::fprintf(stderr,
                         "kavo3cli: the system did not take a report of the download's data, "
                         "and no file data followed it; the flash does not hold the file. %s\n",
                         unit->link().ledger().owes(unit->talk().unit())
                             ? "The unit kept refusing: it still owes the rest of the data, "
                               "which the next run that finds it sends as erased bytes first."
                             : "The rest went as erased bytes. Download it again.");
            break;
        case download::Outcome::ChecksumNotTaken:
            std::fprintf(stderr,
                         "kavo3cli: the unit did not take the checksum request; the download is "
                         "not verified. Download it again.\n");
            break;
        case download::Outcome::WriteOk:
            break;
        case download::Outcome::SumMismatch:
            std::fprintf(stderr,
                         "kavo3cli: the unit's checksum differs from the file's: the flash does "
                         "not hold the file. Download it again.\n");
            break;
        case download::Outcome::ChecksumTimeout:
            std::fprintf(stderr,
                         "kavo3cli: the unit never said its checksum was ready; the download is "
                         "not verified. Restart the unit and download again.\n");
            break;
        case download::Outcome::EmptyFile:
        case download::Outcome::FileOpenFailed:
        case download::Outcome::FileReadFailed:
        case download::Outcome::FileChanged:
            std::fprintf(stderr,
                         "kavo3cli: %s could not be read to the end, or changed during the "
                         "download; the flash does not hold it. Download it again.\n",
                         file.c_str());
            break;
    }
    return operate::verdictOf(result.outcome).exitCode;
}

void addDownloadCommand(CLI::App& app, Subcommands& commands) {
    CLI::App* download = Subcommands::add(
        app, "download", "Write FILE into the unit's flash ROM and verify it by checksum");
    auto line = addDownloadLine(
        *download,
        {"The file to write, at most 1 MiB",
         "Flash address; the area up to the file's end must lie inside the flash",
         "Every unit attached, in parallel; a summary table at the end",
         "Take a file over 1 MiB and write and verify only its first 1 MiB, as the main window "
         "does (otherwise it is refused)"});
    commands.runs(download, [line](const UnitOptions& unit) {
        if (line->allUnits || unit.devices.size() > 1)
            return runDownloadMany(unit, line->parsed(), line->allUnits);
        return runDownload(unit, line->parsed());
    });
}

}  // namespace kavo3::cli
