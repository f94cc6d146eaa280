// A captured frame as a PNG file, for kavo3cli's capture to a name ending in .png: lossless,
// and opened by every viewer. The window program keeps the BMP its design gives.
#pragma once

#include <filesystem>
#include <string>

#include "capture/Frame.h"

namespace kavo3::cli {

// Whether `name` asks for a PNG: it ends in .png, in any case.
bool wantsPng(const std::string& name);

// Written whole or not at all; false when nothing was saved.
bool writePngFile(const std::filesystem::path& path, const capture::Frame& frame);

}  // namespace kavo3::cli
