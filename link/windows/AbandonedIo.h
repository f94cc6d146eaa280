// The storage of one overlapped operation, and where it goes when the driver never finishes
// the operation: cancelling only asks the driver, so what it may still write into (the buffer,
// the OVERLAPPED, the event it signals) must outlive the handle and belong to the process.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/windows/WinHandles.h"

namespace kavo3::link::windows {

struct IoSlot {
    OVERLAPPED overlapped{};
    UniqueHandle event;  // manual reset; the driver signals it when the operation ends
    std::vector<std::uint8_t> buffer;
};

// Keeps `slot` until its operation has ended; slots whose operations have ended since are
// freed on the way.
void abandonIo(std::unique_ptr<IoSlot> slot);

// Operations given up on that the driver has not ended yet.
std::size_t abandonedIoCount();

}  // namespace kavo3::link::windows
