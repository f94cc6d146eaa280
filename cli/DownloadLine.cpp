#include "cli/DownloadLine.h"

#include <cstdio>
#include <memory>

#include "cli/Numbers.h"
#include "download/ErasePlan.h"

namespace kavo3::cli {

namespace {

// A 24-bit flash address, decimal or 0x hexadecimal.
std::string checkAddress(const std::string& text) {
    const auto value = parseNumber(text);
    if (!value || *value > 0xFFFFFF) return "not a flash address from 0 to 0xFFFFFF: " + text;
    return {};
}

}  // namespace

DownloadRequest DownloadLine::parsed() const {
    DownloadRequest area = request;
    area.address = *parseNumber(address);
    area.flashSize = *parseSize(flashSize);
    return area;
}

std::shared_ptr<DownloadLine> addDownloadLine(CLI::App& sub, const DownloadLineHelp& help) {
    auto line = std::make_shared<DownloadLine>();
    line->address = hexAddress(download::kDownloadAddress);
    sub.add_option("FILE", line->request.file, help.file)->required();
    sub.add_option("--address", line->address, help.address)
        ->capture_default_str()
        ->check(CLI::Validator(checkAddress, ""))
        ->type_name("ADDR");
    sub.add_option("--flash-size", line->flashSize,
                   "The unit's flash size (64K, 2M, ...), for a unit known to have more than 2 MiB")
        ->capture_default_str()
        ->check(CLI::Validator(checkFlashSize, ""))
        ->type_name("SIZE");
    sub.add_flag("--all", line->allUnits, help.allUnits);
    sub.add_flag("--first-mib", line->request.firstMib, help.firstMib);
    return line;
}

std::string hexAddress(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", address);
    return text;
}

std::string downloadAddressRule() {
    using namespace kavo3::download;
    const unsigned large = kLargeBlockBytes / 1024, small = kSmallBlockBytes / 1024;
    char text[320];
    std::snprintf(text, sizeof text,
                  "Download address: %s unless --address; on a %u KiB boundary (%u KiB for a "
                  "file\nunder %u KiB), as the erases clear whole blocks; the area up to the "
                  "file's end\nrounded up to %u bytes inside the flash.\n\n",
                  hexAddress(kDownloadAddress).c_str(), large, small, large,
                  static_cast<unsigned>(kDataReportBytes));
    return text;
}

}  // namespace kavo3::cli
