#include "timing/TimingFileIo.h"

#include <fstream>
#include <string>
#include <system_error>

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
    if (path.empty()) return false;
    const auto bytes = timingFileBytes(image);
    std::filesystem::path temporary = path;
    temporary += ".saving";
    std::error_code error;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace kavo3::timing
