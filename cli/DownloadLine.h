// The command line of download and verify: FILE, --address, --flash-size, --all and
// --first-mib, and the rule for where a download goes.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "cli/DownloadArea.h"

namespace kavo3::cli {

struct DownloadLine {
    DownloadRequest request;  // its area taken from the texts below by parsed()
    std::string address;
    std::string flashSize = "2M";
    bool allUnits = false;

    // The request with the area the parse has checked.
    DownloadRequest parsed() const;
};

// The help of each of them for one subcommand.
struct DownloadLineHelp {
    const char* file;
    const char* address;
    const char* allUnits;
    const char* firstMib;
};

std::shared_ptr<DownloadLine> addDownloadLine(CLI::App& sub, const DownloadLineHelp& help);

// "0x0E8000".
std::string hexAddress(std::uint32_t address);

// Where a download goes, as the download core decides it, for the program's help.
std::string downloadAddressRule();

}  // namespace kavo3::cli
