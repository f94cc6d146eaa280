#include "cli/PngFile.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "files/WholeFile.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO  // the bytes go through writeWholeFile
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace kavo3::cli {

bool wantsPng(const std::string& name) {
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".png";
}

bool writePngFile(const std::filesystem::path& path, const capture::Frame& frame) {
    if (frame.empty() ||
        frame.PixelBuffer.size() != frame.rowBytes() * static_cast<std::size_t>(frame.FrameHeight))
        return false;
    // The frame keeps blue, green, red; PNG wants red, green, blue.
    std::vector<std::uint8_t> rgb(frame.PixelBuffer.size());
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        rgb[i] = frame.PixelBuffer[i + 2];
        rgb[i + 1] = frame.PixelBuffer[i + 1];
        rgb[i + 2] = frame.PixelBuffer[i];
    }
    std::vector<std::uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        auto& out = *static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out.insert(out.end(), bytes, bytes + size);
    };
    if (!stbi_write_png_to_func(append, &png, frame.FrameWidth, frame.FrameHeight, 3, rgb.data(),
                                static_cast<int>(frame.rowBytes())))
        return false;
    return files::writeWholeFile(path, {files::FilePiece(png)});
}

}  // namespace kavo3::cli
