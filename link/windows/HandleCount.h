// How many kernel handles this process holds, to show that a search leaves none behind.
#pragma once

#include <cstddef>

namespace kavo3::link::windows {

// GetProcessHandleCount where the platform implements it; where it reports nothing (Wine),
// the handle values that are valid are counted instead.
std::size_t countOpenHandles();

}  // namespace kavo3::link::windows
