// Test helpers for the hidraw backend: the unit's end of a socket node, and descriptor counts.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "link/linux/testing/SocketHidraw.h"

namespace kavo3::link::testing {

// The unit's side: what the host wrote (empty when nothing came within a second).
inline Bytes receive(const UniqueFd& unit) {
    pollfd p{unit.get(), POLLIN, 0};
    if (::poll(&p, 1, 1000) != 1) return {};
    Bytes report(4096);
    const ssize_t n = ::recv(unit.get(), report.data(), report.size(), 0);
    report.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return report;
}

inline bool nothingWaiting(const UniqueFd& unit) {
    pollfd p{unit.get(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

inline void send(const UniqueFd& unit, const Bytes& report) {
    if (::send(unit.get(), report.data(), report.size(), 0) != static_cast<ssize_t>(report.size()))
        std::abort();
}

// A 64-byte unnumbered input report as hidraw hands it over: no ID byte.
inline Bytes unnumberedInput(std::uint8_t first) {
    Bytes r(64);
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(first + i);
    return r;
}

inline std::size_t openDescriptorCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

}  // namespace kavo3::link::testing
