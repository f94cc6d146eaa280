// The texts a download shows in the main window's status line.
#pragma once

#include <cstdint>
#include <string>

namespace kavo3::download {

inline constexpr const char* kEraseText = "Erace";
inline constexpr const char* kDownloadText = "Download";
inline constexpr const char* kDownloadEndText = "Download End";
inline constexpr const char* kChecksumStartText = "check sum start";

// Upper-case hexadecimal without leading zeros ("0" for zero).
std::string hexText(std::uint32_t value);

// Shown before the data report at `offset`: "10byte" at offset 16.
std::string progressText(std::uint32_t offset);

// The verdict after the checksum comparison.
std::string verdictText(std::uint16_t romSum, std::uint16_t fileSum);

// Why a run ended before a verdict; every such text begins with "Write error".
std::string writeErrorText(const std::string& reason);

}  // namespace kavo3::download
