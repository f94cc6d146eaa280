// The window programs' options: which unit (--device ID) and the settle waits' tick
// (--tick-ms N). Qt has taken its own options out of the arguments before.
#pragma once

#include <QStringList>
#include <optional>
#include <string>

namespace kavo3::app {

struct ProgramOptions {
    std::optional<std::string> device;  // a unit's port path or node path; none: the first unit
    std::optional<std::string> tickMs;  // as given; link/TickPeriod.h judges it
};

// The arguments without the program's name. On a bad one returns nullopt and says why.
std::optional<ProgramOptions> parseProgramOptions(const QStringList& arguments, std::string& error);

inline constexpr const char* kProgramUsage =
    "options: --device ID (the unit's port path or node path, as 'kavo3cli status --list' "
    "shows them), --tick-ms N (the settle waits' tick, 1 to 1000 ms; also KAVO3_TICK_MS)";

}  // namespace kavo3::app
