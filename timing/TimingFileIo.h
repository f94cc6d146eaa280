// Timing data files on disk without Qt, for the command line: a load reads and checks the
// first 256 bytes; a save writes all 257 bytes whole or leaves the old file as it was.
#pragma once

#include <filesystem>

#include "timing/TimingDataFile.h"

namespace kavo3::timing {

TimingFileData loadTimingFile(const std::filesystem::path& path);

// The bytes go to a new file beside the target, which then takes its place.
bool saveTimingFile(const std::filesystem::path& path, const TimingImage& image);

}  // namespace kavo3::timing
