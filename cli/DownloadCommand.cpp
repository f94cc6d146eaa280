// kavo3cli download: the ROM download of the main window's "kavo cmd　load" button.
#include <cstdio>
#include <filesystem>

#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/DownloadArea.h"
#include "cli/ExitCodes.h"
#include "cli/Progress.h"
#include "download/ErasePlan.h"
#include "download/RomDownload.h"
#include "download/StatusTexts.h"

namespace kavo3::cli {

int runDownload(const UnitOptions& unitOptions, const DownloadRequest& request) {
    int exitCode = kExitOk;
    const std::uint32_t length = checkDownload(request, exitCode);
    if (length == 0) return exitCode;
    const std::filesystem::path path = argumentPath(request.file);
    const std::string& file = request.file;
    const std::uint32_t address = request.address;

    auto unit = UnitSession::create(unitOptions, exitCode);
    if (!unit) return exitCode;
    if (!unit->connect()) return kExitNoUnit;

    Progress progress("download", download::paddedLength(length), Progress::Unit::Bytes);
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
        dataStarted = true;
        progress.update(offset + download::kDataReportBytes);
    };
    callbacks.processEvents = [] {};
    callbacks.settleWait = settleWait;

    download::RomDownload run(unit->link(), std::move(callbacks));
    const download::DownloadResult result = run.run(address, path);
    progress.finish();
    if (!unit->stayedConnected()) return kExitNoUnit;

    switch (result.outcome) {
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
