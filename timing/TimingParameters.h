// The fourteen timing parameters: which register bytes each one owns and where its
// controls stand in the timing window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "timing/TimingState.h"

namespace kavo3::timing {

struct TimingParameter {
    const char* name;     // slider objectName; the text box is name + "_txt"
    const char* caption;  // the label beside the slider
    int group;            // 0..3: the group boxes Frame1..Frame4
    int row;              // row inside the group box, top to bottom
    std::size_t lowByte;  // also the first byte of the four-byte window a change writes
    int highByte;         // -1 for an 8-bit parameter
    int maximum;

    constexpr bool wide() const { return highByte >= 0; }
    constexpr int valueIn(const TimingImage& image) const {
        const int low = image[lowByte];
        return wide() ? image[static_cast<std::size_t>(highByte)] * 256 + low : low;
    }
};

// In the order of the window, group by group, top to bottom.
inline constexpr std::array<TimingParameter, 14> kTimingParameters{{
    {"h2pos", "h2pos", 0, 0, 2, 4, 4095},
    {"v2pos", "v2pos", 0, 1, 6, 8, 4095},
    {"h2size", "h2size", 0, 2, 10, 12, 4095},
    {"v2size", "v2size", 0, 3, 14, 16, 4095},
    {"clamp_start", "clamp_start", 1, 0, 18, -1, 255},
    {"clamp_width", "clamp width", 1, 1, 20, -1, 255},
    {"hst", "hst", 2, 0, 40, 42, 4095},
    {"vst", "vst", 2, 1, 44, 46, 4095},
    {"hsw", "hsw", 2, 2, 48, -1, 255},
    {"vsw", "vsw", 2, 3, 50, -1, 255},
    {"ph1pos", "ph1pos", 3, 0, 54, 56, 4095},
    {"pv1pos", "pv1pos", 3, 1, 62, 64, 4095},
    {"ph1size", "ph1size", 3, 2, 58, 60, 4095},
    {"pv1size", "pv1size", 3, 3, 66, 68, 4095},
}};

// The order in which the sliders are set from the image (indices into kTimingParameters):
// the output picture goes position, size, horizontal before vertical.
inline constexpr std::array<std::size_t, 14> kRefreshOrder{0, 1, 2, 3,  4,  5,  6,
                                                           7, 8, 9, 10, 12, 11, 13};

}  // namespace kavo3::timing
