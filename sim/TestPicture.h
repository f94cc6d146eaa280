// The pictures the simulated unit sends as line data. Every one carries fixed edge markers
// (first column red, last column blue, first row yellow, last row cyan) and a binary line
// number near the left edge, so that swapped colours, a dropped column and a shifted or
// repeated line all show; the rest scrolls sideways from frame to frame while live.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kavo3::sim {

using Rgb = std::array<std::uint8_t, 3>;

enum class Pattern {
    Composite,  // colour bars over gradients over a grid
    Bars,       // colour bars darkening downwards
    Ramps,      // red across, green down, blue against red
    Grid,       // a grid of thin lines on black
};

class TestPicture {
  public:
    // Pixels of the line code: 16 bits of the line number, two pixels a bit, from x = 1.
    static constexpr int kLineCodeBits = 16;
    static constexpr int kLineCodeBitWidth = 2;

    TestPicture(int width, int height) : width_(width), height_(height) {}

    int width() const { return width_; }
    int height() const { return height_; }

    void setPattern(Pattern p) { pattern_ = p; }
    Pattern pattern() const { return pattern_; }
    void setInverted(bool inverted) { inverted_ = inverted; }
    bool inverted() const { return inverted_; }
    // No input: the picture area is black.
    void setBlack(bool black) { black_ = black; }

    // Sideways scroll of the content in pixels (markers and line code stay put).
    int scroll() const { return scroll_; }
    void advanceFrame();

    // Any x and y: outside the picture comes a never-black filler that a host has to drop.
    Rgb pixel(int x, int y) const;

    // Line y as the unit sends it: red, green, blue bytes of pixel 0, 1, ... until `out` is
    // full (a partial last pixel included).
    void fillLine(int y, std::span<std::uint8_t> out) const;

    static Rgb filler(int x, int y);

  private:
    Rgb content(int x, int y) const;

    int width_;
    int height_;
    Pattern pattern_ = Pattern::Composite;
    bool inverted_ = false;
    bool black_ = false;
    int scroll_ = 0;
};

}  // namespace kavo3::sim
