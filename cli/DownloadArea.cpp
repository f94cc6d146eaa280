#include "cli/DownloadArea.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/ArgumentPath.h"
#include "cli/ExitCodes.h"
#include "cli/Numbers.h"
#include "download/ErasePlan.h"

namespace kavo3::cli {

namespace {

std::string sizeText(std::uint32_t bytes) {
    char text[32];
    if (bytes % 0x100000 == 0)
        std::snprintf(text, sizeof text, "%u MiB", bytes / 0x100000);
    else
        std::snprintf(text, sizeof text, "%u KiB", bytes / 1024);
    return text;
}

std::uint32_t refuseFile(const DownloadRequest& request, const char* why, int& exitCode) {
    std::fprintf(stderr, "kavo3cli: %s: %s\n", request.file.c_str(), why);
    exitCode = kExitRefusedFile;
    return 0;
}

// Erases clear whole blocks, so an area off their boundary would lose flash before it; and
// NOR flash ignores the address bits above its size, so an area past its end would be
// written over its start, where a unit keeps what it runs.
bool areaFits(const DownloadRequest& request, std::uint32_t length) {
    const std::uint32_t padded = download::paddedLength(length);
    const std::uint32_t alignment = download::eraseAlignment(padded);
    const std::uint32_t address = request.address;
    if (address % alignment != 0) {
        std::fprintf(stderr,
                     "kavo3cli: --address 0x%X is not a multiple of 0x%X: the erase would clear "
                     "flash before the download area. Choose an address on a %u KiB boundary.\n",
                     address, alignment, alignment / 1024);
        return false;
    }
    const std::uint64_t end = std::uint64_t{address} + padded;
    if (end > request.flashSize) {
        std::fprintf(stderr,
                     "kavo3cli: --address 0x%X: the download area 0x%06X to 0x%06llX does not lie "
                     "inside the unit's %s flash (0x000000 to 0x%06X); flash ignores the address "
                     "bits above its size, so the rest would overwrite the start of flash. Choose "
                     "a lower --address, or give --flash-size for a unit known to have more.\n",
                     address, address, static_cast<unsigned long long>(end - 1),
                     sizeText(request.flashSize).c_str(), request.flashSize - 1);
        return false;
    }
    return true;
}

}  // namespace

std::uint32_t checkDownload(const DownloadRequest& request, int& exitCode,
                            std::vector<std::uint8_t>* copy) {
    exitCode = kExitOk;
    const std::filesystem::path path = argumentPath(request.file);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return refuseFile(request, "no such file, or not a regular file", exitCode);
    // Opened once: its length and the bytes that go to the unit come from this one opening,
    // so a file replaced meanwhile cannot bring another length to the erases.
    std::ifstream in(path, std::ios::binary);
    if (!in) return refuseFile(request, "cannot be opened", exitCode);
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    in.seekg(0, std::ios::beg);
    if (end < 0 || !in) return refuseFile(request, "cannot read its length", exitCode);
    const auto size = static_cast<std::uint64_t>(end);
    if (size == 0)
        return refuseFile(request, "the file is empty; there is nothing to download", exitCode);
    if (size > download::kMaxDownloadBytes && !request.firstMib)
        return refuseFile(request,
                          "larger than the 1 MiB download area; nothing was sent. Give "
                          "--first-mib to write and verify only its first 1 MiB",
                          exitCode);
    const std::uint32_t length = download::cappedLength(size);
    if (!areaFits(request, length)) {
        exitCode = kExitUsage;
        return 0;
    }
    if (copy) {
        copy->resize(length);
        in.read(reinterpret_cast<char*>(copy->data()), static_cast<std::streamsize>(length));
        if (in.gcount() != static_cast<std::streamsize>(length))
            return refuseFile(request, "could not be read to its end", exitCode);
    }
    if (size > length)
        std::fprintf(stderr, "kavo3cli: %s is larger than 1 MiB; only its first 1 MiB is written\n",
                     request.file.c_str());
    return length;
}

std::string checkFlashSize(const std::string& text) {
    const auto value = parseNumber(text);
    if (!value || *value < download::kSmallBlockBytes || *value > kLargestFlashSize ||
        (*value & (*value - 1)) != 0)
        return "not a flash size: a power of two from 0x1000 to 0x1000000 (16 MiB): " + text;
    return {};
}

}  // namespace kavo3::cli
