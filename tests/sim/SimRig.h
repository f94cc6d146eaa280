// The link rig on the simulated unit, and single exchanges with the unit through its link.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "LinkRig.h"

namespace kavo3::sim::testing {

using rigs::kShortWait;

struct SimRig : rigs::LinkRig<> {
    using LinkRig::LinkRig;

    // One exchange with the eight command bytes; the response bytes 1..64 (index 0 = byte 1).
    std::vector<std::uint8_t> exchange(std::array<std::uint8_t, 8> command) {
        link.WriteReport(command);
        return read();
    }
    std::vector<std::uint8_t> read() {
        link.ReadReport();
        return {link.ReadBuffer.begin() + 1, link.ReadBuffer.end()};
    }
    void send(std::array<std::uint8_t, 8> command) { link.WriteReport(command); }
    // One raw data report of a flash write.
    void sendData(std::array<std::uint8_t, 8> data) { link.WriteReport(data, link::Meant::Data); }
};

inline bool allZero(const std::vector<std::uint8_t>& bytes) {
    for (auto b : bytes)
        if (b != 0) return false;
    return true;
}

}  // namespace kavo3::sim::testing
