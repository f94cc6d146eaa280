// Timing data files on disk, for the window and the command line alike: a load reads and
// checks the first 256 bytes; a save writes all 257 bytes whole or leaves the old file as it
// was.
#pragma once

#include <filesystem>

#include "timing/TimingDataFile.h"

namespace kavo3::timing {

TimingFileData loadTimingFile(const std::filesystem::path& path);

// The bytes go to a new file beside the target, which then takes its place; only in a folder
// that takes no new file is an existing writable file written over in place.
bool saveTimingFile(const std::filesystem::path& path, const TimingImage& image);

}  // namespace kavo3::timing
