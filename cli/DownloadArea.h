// What kavo3cli checks of a download before it touches the unit: the file, and where in the
// unit's flash its bytes would go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "download/ErasePlan.h"

namespace kavo3::cli {

// The smallest flash that holds the window's area with its 1 MiB cap.
inline constexpr std::uint32_t kDefaultFlashSize = 0x200000;
// The flash address is 24 bits on the wire.
inline constexpr std::uint32_t kLargestFlashSize = 0x1000000;

struct DownloadRequest {
    std::string file;
    std::uint32_t address = download::kDownloadAddress;
    std::uint32_t flashSize = kDefaultFlashSize;
    bool firstMib = false;  // a larger file gives its first 1 MiB, as the window does
};

// L, the bytes of the file that go into the flash. 0 when refused, with the reason on
// standard error and `exitCode` set: kExitRefusedFile for the file, kExitUsage for an area
// outside the flash or off the erase blocks' boundaries. With `copy`, the L bytes are read into
// it from the same opening, for the download to write and sum.
std::uint32_t checkDownload(const DownloadRequest& request, int& exitCode,
                            std::vector<std::uint8_t>* copy = nullptr);

// "" when `text` is a flash size kavo3cli takes (a power of two up to 16 MiB), else why not.
std::string checkFlashSize(const std::string& text);

}  // namespace kavo3::cli
