#include "link/ProcessName.h"

#include <fstream>

namespace kavo3::link {

std::string processName(long pid) {
    if (pid <= 0) return {};
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace kavo3::link
