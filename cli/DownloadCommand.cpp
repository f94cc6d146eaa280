// kavo3cli download: the ROM download of the main window's "kavo cmd　load" button.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/DownloadArea.h"
#include "cli/ExitCodes.h"
#include "cli/Progress.h"
#include "download/ErasePlan.h"
#include "download/RomDownload.h"
#include "download/StatusTexts.h"
#include "link/StopSignals.h"

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

    auto unit = UnitSession::create(unitOptions, exitCode);
    if (!unit) return exitCode;
    if (!unit->connect()) return kExitNoUnit;

    Progress progress("download", download::paddedLength(length), Progress::Unit::Bytes);
    std::chrono::steady_clock::time_point dataStart;
    std::uint32_t reportsSent = 0;
    bool dataStarted = false;
    std::string lastStatus;
    download::DownloadCallbacks callbacks;
    // The texts of the main window's status line, each once; a bar stands in for the offsets.
    callbacks.status = [&](const std::string& text) {
        if (text == lastStatus) return;
        lastStatus = text;
        if (dataStarted) progress.finish();
        printText(stdout, "%s\n", text.c_str());
        std::fflush(stdout);
    };
    callbacks.progress = [&](std::uint32_t offset) {
        if (!dataStarted) dataStart = std::chrono::steady_clock::now();
        dataStarted = true;
        reportsSent = offset / download::kDataReportBytes;
        progress.update(offset + download::kDataReportBytes);
    };
    callbacks.processEvents = [] {};
    callbacks.settleWait = settleWait;
    callbacks.stopRequested = [] { return link::stopRequested(); };
    callbacks.padding = [&](std::uint32_t reportsOwed) {
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

    download::RomDownload run(unit->link(), std::move(callbacks));
    const download::DownloadResult result = run.run(unit->talk(), address, copy);
    progress.finish();
    // Whatever the verdict, it stands only when the one unit took and answered everything.
    if (!unit->stayedConnected()) return kExitNoUnit;

    switch (result.outcome) {
        case download::Outcome::Stopped:
            sayStopped(file.c_str(), address, result.length, length);
            return kExitInterrupted;
        case download::Outcome::UnitGone:
            // Found again meanwhile: it was settled first, but the download is not done.
            std::fprintf(stderr,
                         "kavo3cli: the unit went away during the download; the flash does not "
                         "hold the file. Download it again.\n");
            return kExitNoUnit;
        case download::Outcome::WriteRefused:
            std::fprintf(stderr,
                         "kavo3cli: the system did not take a report of the download's data, "
                         "and no file data followed it; the flash does not hold the file. %s\n",
                         unit->link().ledger().owes(unit->talk().unit())
                             ? "The unit kept refusing: it still owes the rest of the data, "
                               "which the next run that finds it sends as erased bytes first."
                             : "The rest went as erased bytes. Download it again.");
            return kExitNoUnit;
        case download::Outcome::ChecksumNotTaken:
            std::fprintf(stderr,
                         "kavo3cli: the unit did not take the checksum request; the download is "
                         "not verified. Download it again.\n");
            return kExitNoUnit;
        case download::Outcome::WriteOk:
            return kExitOk;
        case download::Outcome::SumMismatch:
            std::fprintf(stderr,
                         "kavo3cli: the unit's checksum differs from the file's: the flash does "
                         "not hold the file. Download it again.\n");
            return kExitChecksumMismatch;
        case download::Outcome::ChecksumTimeout:
            std::fprintf(stderr,
                         "kavo3cli: the unit never said its checksum was ready; the download is "
                         "not verified. Restart the unit and download again.\n");
            return kExitChecksumNeverReady;
        case download::Outcome::EmptyFile:
        case download::Outcome::FileOpenFailed:
        case download::Outcome::FileReadFailed:
        case download::Outcome::FileChanged:
            break;
    }
    std::fprintf(stderr,
                 "kavo3cli: %s could not be read to the end, or changed during the download; the "
                 "flash does not hold it. Download it again.\n",
                 file.c_str());
    return kExitRefusedFile;
}

}  // namespace kavo3::cli
