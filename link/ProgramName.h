// The name that begins the lines the link writes on standard error. Each program's main()
// sets it once, so that a user reads which program spoke.
#pragma once

#include <string>

namespace kavo3::link {

void setProgramName(std::string name);
const std::string& programName();

}  // namespace kavo3::link
