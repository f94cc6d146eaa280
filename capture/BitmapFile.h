// The captured frame as an uncompressed 24-bit BMP file with top-down rows.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "capture/Frame.h"

namespace kavo3::capture {

inline constexpr std::size_t kBitmapHeaderBytes = 54;

// File header and info header for a frame of width × height (width a multiple of 4).
std::array<std::uint8_t, kBitmapHeaderBytes> bitmapHeaders(std::int32_t width, std::int32_t height);

// Writes `frame` to `path` whole: a failed save leaves whatever stood at `path` untouched,
// except that in a folder that takes no new file an existing file is written over in place.
// False on any failure, and for a frame whose pixels do not match its sizes.
bool WriteBitmapFile(const std::filesystem::path& path, const Frame& frame);

// The path a save really writes: the file name's extension, if any, replaced by ".bmp".
// Only a dot in the last path component counts. UTF-8 in and out.
std::string finalBitmapPath(const std::string& chosen);

}  // namespace kavo3::capture
