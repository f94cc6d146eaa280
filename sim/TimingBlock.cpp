#include "sim/TimingBlock.h"

namespace kavo3::sim {
namespace {

void put16(TimingBlock::Bytes& b, int k, int value) {
    // Low byte at k, high byte two further on; the byte between belongs to another field.
    b[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value & 0xFF);
    b[static_cast<std::size_t>(k + 2)] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

TimingBlock::Bytes TimingBlock::defaults() {
    Bytes b{};
    // Bytes that hold no adjustable parameter: mode and reserved bits, never zero, so that
    // a host that sends them back altered or zeroed is caught.
    for (int i = 0; i < kSize; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x81 + (i * 37) % 0x70);

    put16(b, 2, 122);   // h2pos
    put16(b, 6, 36);    // v2pos
    put16(b, 10, 720);  // h2size
    put16(b, 14, 480);  // v2size
    b[18] = 24;         // clamp_start
    b[20] = 10;         // clamp_width
    put16(b, 40, 736);  // hst
    put16(b, 44, 489);  // vst
    b[48] = 62;         // hsw
    b[50] = 6;          // vsw
    put16(b, 54, 122);  // ph1pos
    put16(b, 58, 720);  // ph1size
    put16(b, 62, 36);   // pv1pos
    put16(b, 66, 480);  // pv1size
    return b;
}

std::uint8_t TimingBlock::read(int offset) const {
    if (offset < 0 || offset >= kSize) return 0;
    return registers_[static_cast<std::size_t>(offset)];
}

void TimingBlock::write(int offset, std::uint8_t value) {
    if (offset < 0 || offset >= kSize) return;
    registers_[static_cast<std::size_t>(offset)] = value;
}

}  // namespace kavo3::sim
