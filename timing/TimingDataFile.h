// The timing data file: the register image, byte for byte, with no header. A save writes
// all 257 bytes; a load takes the first 256 and ignores the rest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "timing/TimingState.h"

namespace kavo3::timing {

inline constexpr std::size_t kTimingFileSize = kTimingImageSize;
inline constexpr std::size_t kTimingFileLoadSize = 256;

enum class TimingFileError {
    None,
    CannotOpen,       // the file could not be opened or read
    TooShort,         // fewer than 256 bytes
    ValueOutOfRange,  // a 16-bit parameter above 4095 (high byte above 15)
};

struct TimingFileData {
    TimingFileError error = TimingFileError::None;
    std::array<std::uint8_t, kTimingFileLoadSize> bytes{};  // valid only without an error
};

// Checks a file's bytes and takes the part a load uses. A file that fails a check is
// refused as a whole, so a load never leaves the image half replaced.
TimingFileData parseTimingFile(std::span<const std::uint8_t> file);

// Replaces image bytes 0..255; byte 256 stays as it is.
void applyTimingFile(const TimingFileData& data, TimingImage& image);

// The bytes a save writes.
std::array<std::uint8_t, kTimingFileSize> timingFileBytes(const TimingImage& image);

}  // namespace kavo3::timing
