// The exit status of kavo3cli, by the names its subcommands use; the table itself is the
// operation layer's, where the download outcomes map onto it.
#pragma once

#include "operate/ExitCodes.h"

namespace kavo3::cli {

using enum operate::ExitCode;

}  // namespace kavo3::cli
