// The unit's 80-byte timing register block. Block writes land in the registers at once;
// Write end makes them take effect, which is what `active()` shows.
#pragma once

#include <array>
#include <cstdint>

namespace kavo3::sim {

class TimingBlock {
  public:
    static constexpr int kSize = 80;
    using Bytes = std::array<std::uint8_t, kSize>;

    // Values of a 720 x 480 input shown at 720 x 480.
    static Bytes defaults();

    TimingBlock() : registers_(defaults()), active_(registers_) {}

    // Offsets outside the block read as 0 and ignore writes.
    std::uint8_t read(int offset) const;
    void write(int offset, std::uint8_t value);
    void commit() {
        active_ = registers_;
        ++commits_;
    }

    const Bytes& registers() const { return registers_; }
    const Bytes& active() const { return active_; }
    int commits() const { return commits_; }

  private:
    Bytes registers_;
    Bytes active_;
    int commits_ = 0;
};

}  // namespace kavo3::sim
