// The link rig on the simulated unit, and single exchanges with the unit through its link.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "LinkRig.h"
#include "tests/support/OneReport.h"

namespace kavo3::sim::testing {

using rigs::kShortWait;

struct SimRig : rigs::LinkRig<> {
    using LinkRig::LinkRig;

    // One exchange with the eight command bytes; the response bytes 1..64 (index 0 = byte 1).
    std::vector<std::uint8_t> exchange(std::array<std::uint8_t, 8> command) {
        send(command);
        return read();
    }
    std::vector<std::uint8_t> read() {
        const link::Reply reply = kavo3::testing::readOne(link);
        return {reply.bytes.begin(), reply.bytes.end()};
    }
    void send(std::array<std::uint8_t, 8> command) { kavo3::testing::sendOne(link, command); }
    // One raw data report of a flash write.
    void sendData(std::array<std::uint8_t, 8> data) {
        kavo3::testing::sendOne(link, data, link::Meant::Data);
    }
};

inline bool allZero(const std::vector<std::uint8_t>& bytes) {
    for (auto b : bytes)
        if (b != 0) return false;
    return true;
}

}  // namespace kavo3::sim::testing
