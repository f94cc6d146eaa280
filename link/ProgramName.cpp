#include "link/ProgramName.h"

#include <utility>

namespace kavo3::link {

namespace {

std::string& storedName() {
    static std::string name;
    return name;
}

}  // namespace

void setProgramName(std::string name) { storedName() = std::move(name); }

const std::string& programName() { return storedName(); }

}  // namespace kavo3::link
