#include "sim/TestPicture.h"

namespace kavo3::sim {
namespace {

constexpr int kScrollPerFrame = 8;

constexpr std::array<Rgb, 8> kBars{{
    {255, 255, 255},
    {255, 255, 0},
    {0, 255, 255},
    {0, 255, 0},
    {255, 0, 255},
    {255, 0, 0},
    {0, 0, 255},
    {0, 0, 0},
}};

std::uint8_t low8(long v) { return static_cast<std::uint8_t>(v & 0xFF); }

}  // namespace

void TestPicture::advanceFrame() { scroll_ = (scroll_ + kScrollPerFrame) % width_; }

Rgb TestPicture::filler(int x, int y) {
    // Bright and varying, never black, so that undropped filler cannot pass for picture.
    return {0xA5, static_cast<std::uint8_t>(low8(x * 7 + y) | 0x01), 0xC3};
}

Rgb TestPicture::content(int x, int y) const {
    const long u = (static_cast<long>(x) + scroll_) % width_;
    switch (pattern_) {
        case Pattern::Composite:
            if (y < height_ / 2) return kBars[static_cast<std::size_t>(u * 8 / width_)];
            if (y < height_ * 3 / 4) return {low8(u), low8(y), low8(u + y)};
            if (u % 32 == 0 || y % 32 == 0) return {255, 255, 255};
            return {32, 32, low8(32 + (u / 32 + y / 32) % 4 * 32)};
        case Pattern::Bars: {
            const Rgb bar = kBars[static_cast<std::size_t>(u * 8 / width_)];
            const int scale = 255 - static_cast<int>(static_cast<long>(y) * 192 / height_);
            return {low8(bar[0] * scale / 255), low8(bar[1] * scale / 255),
                    low8(bar[2] * scale / 255)};
        }
        case Pattern::Ramps:
            return {low8(u), low8(y), low8(255 - u)};
        case Pattern::Grid:
            if (u % 64 == 0 || y % 64 == 0) return {255, 64, 64};
            if (u % 16 == 0 || y % 16 == 0) return {200, 200, 200};
            return {0, 0, 0};
    }
    return {0, 0, 0};
}

Rgb TestPicture::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return filler(x, y);
    if (black_) return {0, 0, 0};
    // Column markers win over row markers, so the corners show the columns.
    if (x == 0) return {255, 0, 0};
    if (x == width_ - 1) return {0, 0, 255};
    if (y == 0) return {255, 255, 0};
    if (y == height_ - 1) return {0, 255, 255};
    if (x <= kLineCodeBits * kLineCodeBitWidth) {
        const int bit = kLineCodeBits - 1 - (x - 1) / kLineCodeBitWidth;
        const std::uint8_t v = ((y >> bit) & 1) ? 255 : 0;
        return {v, v, v};
    }
    Rgb c = content(x, y);
    if (inverted_)
        for (auto& b : c) b = static_cast<std::uint8_t>(255 - b);
    return c;
}

void TestPicture::fillLine(int y, std::span<std::uint8_t> out) const {
    std::size_t n = 0;
    for (int x = 0; n < out.size(); ++x) {
        const Rgb c = pixel(x, y);
        for (int k = 0; k < 3 && n < out.size(); ++k) out[n++] = c[static_cast<std::size_t>(k)];
    }
}

}  // namespace kavo3::sim
