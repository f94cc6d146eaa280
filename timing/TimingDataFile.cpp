#include "timing/TimingDataFile.h"

#include <algorithm>

#include "timing/TimingParameters.h"

namespace kavo3::timing {

TimingFileData parseTimingFile(std::span<const std::uint8_t> file) {
    TimingFileData data;
    if (file.size() < kTimingFileLoadSize) {
        data.error = TimingFileError::TooShort;
        return data;
    }
    std::copy_n(file.begin(), kTimingFileLoadSize, data.bytes.begin());
    for (const auto& p : kTimingParameters) {
        if (p.wide() && data.bytes[static_cast<std::size_t>(p.highByte)] > p.maximum / 256) {
            data.error = TimingFileError::ValueOutOfRange;
            data.bytes.fill(0);
            return data;
        }
    }
    return data;
}

void applyTimingFile(const TimingFileData& data, TimingImage& image) {
    if (data.error != TimingFileError::None) return;
    std::copy(data.bytes.begin(), data.bytes.end(), image.begin());
}

std::array<std::uint8_t, kTimingFileSize> timingFileBytes(const TimingImage& image) {
    std::array<std::uint8_t, kTimingFileSize> out{};
    std::copy(image.begin(), image.end(), out.begin());
    return out;
}

}  // namespace kavo3::timing
