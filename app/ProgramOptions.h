// The window programs' options: which unit (--device ID), the settle waits' tick
// (--tick-ms N), --help and --version, through Qt's own command-line parser. Qt has taken its
// own options out of the arguments before.
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

// Whether an argument asks for help (-h, --help, -?); looked for before the application
// object exists, so that help needs no display.
bool askedForHelp(int argc, char** argv);

// The help of `program`, made by the same parser from the same options; `more` follows it
// (the demo's simulated-unit switches).
std::string programHelp(const std::string& program, const std::string& more = {});

inline constexpr const char* kProgramUsage =
    "options: --device ID (the unit's port path or node path, as 'kavo3cli list' "
    "shows them), --tick-ms N (the settle waits' tick, 1 to 1000 ms; also KAVO3_TICK_MS), "
    "--help, --version";

}  // namespace kavo3::app
