// The file a subcommand will write, checked before the unit is touched, so that a run the
// file could not hold costs the unit nothing.
#pragma once

#include <string>

namespace kavo3::cli {

// `given` as the user typed it, `target` the name that will be written (they differ where
// an extension is replaced). Refuses a folder or a name that ends in a separator
// (kExitUsage), and a target whose folder is missing or takes no new file (kExitFailure);
// says why on standard error, with `example` as a name to give. kExitOk when the file can be
// written.
int checkOutputFile(const std::string& given, const std::string& target, const char* example);

}  // namespace kavo3::cli
