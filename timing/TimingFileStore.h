// Reading and writing timing data files on disk. Paths are Unicode throughout, so names
// with Japanese characters work on every platform.
#pragma once

#include <QString>

#include "timing/TimingDataFile.h"

namespace kavo3::timing {

// Reads and checks the part of the file a load uses.
TimingFileData readTimingFile(const QString& path);

// Writes the image as a 257-byte file. The new file is written beside the old one and
// replaces it only when complete, so a failed save leaves the old file as it was; only in a
// folder that takes no new file is an existing writable file written over in place.
bool writeTimingFile(const QString& path, const TimingImage& image);

}  // namespace kavo3::timing
