// kavo3cli download: the ROM download of the main window's "kavo cmd　load" button.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/ExitCodes.h"
#include "cli/Progress.h"
#include "download/ErasePlan.h"
#include "download/RomDownload.h"
#include "download/StatusTexts.h"

namespace kavo3::cli {

namespace {

// The flash address is 24 bits on the wire.
constexpr std::uint64_t kAddressSpace = 0x1000000;

// Refuses what the unit must never get: an address whose erases would clear flash before
// the area (erases clear whole blocks), or an area beyond the 24-bit address space.
bool addressFits(std::uint32_t address, std::uint32_t length) {
    const download::ErasePlan plan = download::erasePlan(download::paddedLength(length));
    const std::uint32_t alignment =
        plan.large > 0 ? download::kLargeBlockBytes : download::kSmallBlockBytes;
    if (address % alignment != 0) {
        std::fprintf(stderr,
                     "kavo3cli: --address 0x%X is not a multiple of 0x%X: the erase would clear "
                     "flash before the download area. Choose an address on a %u KiB boundary.\n",
                     address, alignment, alignment / 1024);
        return false;
    }
    if (address + std::uint64_t{download::paddedLength(length)} > kAddressSpace) {
        std::fprintf(stderr,
                     "kavo3cli: --address 0x%X: the file would end beyond the unit's 24-bit "
                     "address space (0xFFFFFF).\n",
                     address);
        return false;
    }
    return true;
}

int refused(const char* file, const char* why) {
    std::fprintf(stderr, "kavo3cli: %s: %s\n", file, why);
    return kExitRefusedFile;
}

}  // namespace

int runDownload(const UnitOptions& unitOptions, const std::string& file, std::uint32_t address) {
    const std::filesystem::path path(file);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return refused(file.c_str(), "no such file, or not a regular file");
    const auto size = std::filesystem::file_size(path, error);
    if (error) return refused(file.c_str(), "cannot read its length");
    if (size == 0) return refused(file.c_str(), "the file is empty; there is nothing to download");
    const std::uint32_t length = download::cappedLength(size);
    if (!addressFits(address, length)) return kExitUsage;
    if (size > length)
        std::fprintf(stderr, "kavo3cli: %s is larger than 1 MiB; only its first 1 MiB is written\n",
                     file.c_str());

    int exitCode = kExitOk;
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
