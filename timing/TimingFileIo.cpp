#include "timing/TimingFileIo.h"

#include <fstream>
#include <system_error>

#include "files/WholeFile.h"

namespace kavo3::timing {

TimingFileData loadTimingFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {TimingFileError::CannotOpen, {}};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {TimingFileError::CannotOpen, {}};
    std::array<std::uint8_t, kTimingFileLoadSize> bytes{};
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return {TimingFileError::CannotOpen, {}};
    return parseTimingFile(std::span(bytes.data(), static_cast<std::size_t>(in.gcount())));
}

bool saveTimingFile(const std::filesystem::path& path, const TimingImage& image) {
    const auto bytes = timingFileBytes(image);
    return files::writeWholeFile(path, {bytes});
}

}  // namespace kavo3::timing
