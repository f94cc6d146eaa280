// The simulated unit behind the real device link, with a short read wait.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "link/DeviceLink.h"
#include "tests/support/OneReport.h"
#include "sim/SimTransport.h"

namespace kavo3::sim::testing {

inline constexpr std::chrono::milliseconds kShortWait{20};

struct SimRig {
    explicit SimRig(SimOptions options = {}) : transport(options), link(transport, kShortWait) {}

    SimulatedUnit& unit() { return transport.unit(); }

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

    SimTransport transport;
    link::DeviceLink link;
};

inline bool allZero(const std::vector<std::uint8_t>& bytes) {
    for (auto b : bytes)
        if (b != 0) return false;
    return true;
}

}  // namespace kavo3::sim::testing
