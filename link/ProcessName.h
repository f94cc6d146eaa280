// The name of the program a process runs, so that a user told that a unit is in use also
// reads by what. Each platform backend has its own way to ask.
#pragma once

#include <string>

namespace kavo3::link {

// Empty where the system does not say (no such process, or not ours to look at).
std::string processName(long pid);

}  // namespace kavo3::link
