#include "capture/BitmapFile.h"

#include "files/WholeFile.h"

namespace kavo3::capture {

namespace {

class LittleEndianWriter {
  public:
    explicit LittleEndianWriter(std::array<std::uint8_t, kBitmapHeaderBytes>& out) : out_(out) {}
    void put16(std::uint16_t v) { putN(v, 2); }
    void put32(std::uint32_t v) { putN(v, 4); }
    std::size_t position() const { return pos_; }

  private:
    void putN(std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out_[pos_++] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::array<std::uint8_t, kBitmapHeaderBytes>& out_;
    std::size_t pos_ = 0;
};

constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dpi

bool pixelsMatchSizes(const Frame& frame) {
    if (frame.FrameWidth <= 0 || frame.FrameHeight <= 0) return false;
    return frame.PixelBuffer.size() == static_cast<std::size_t>(frame.FrameWidth) *
                                           static_cast<std::size_t>(frame.FrameHeight) * 3;
}

}  // namespace

std::array<std::uint8_t, kBitmapHeaderBytes> bitmapHeaders(std::int32_t width,
                                                           std::int32_t height) {
    std::array<std::uint8_t, kBitmapHeaderBytes> h{};
    LittleEndianWriter w(h);
    const auto pixelBytes =
        static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 3;
    // File header.
    w.put16(0x4D42);  // "BM"
    w.put32(static_cast<std::uint32_t>(kBitmapHeaderBytes) + pixelBytes);
    w.put16(0);
    w.put16(0);
    w.put32(static_cast<std::uint32_t>(kBitmapHeaderBytes));
    // Info header; a negative height stores the rows top-down.
    w.put32(40);
    w.put32(static_cast<std::uint32_t>(width));
    w.put32(static_cast<std::uint32_t>(-height));
    w.put16(1);
    w.put16(24);
    w.put32(0);  // BI_RGB
    w.put32(0);
    w.put32(kPixelsPerMetre);
    w.put32(kPixelsPerMetre);
    w.put32(0);
    w.put32(0);
    return h;
}

bool WriteBitmapFile(const std::filesystem::path& path, const Frame& frame) {
    if (!pixelsMatchSizes(frame)) return false;
    const auto headers = bitmapHeaders(frame.FrameWidth, frame.FrameHeight);
    return files::writeWholeFile(path, {headers, frame.PixelBuffer});
}

std::string finalBitmapPath(const std::string& chosen) {
#ifdef _WIN32
    const std::size_t nameStart = chosen.find_last_of("/\\:") + 1;
#else
    const std::size_t nameStart = chosen.find_last_of('/') + 1;
#endif
    std::string result = chosen;
    const std::size_t dot = result.find_last_of('.');
    if (dot != std::string::npos && dot >= nameStart) result.erase(dot);
    return result + ".bmp";
}

}  // namespace kavo3::capture
