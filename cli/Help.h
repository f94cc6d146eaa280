// kavo3cli's help: `kavo3cli help [SUBCOMMAND...]`, and a layout that names each thing an
// option takes once ("FILE (required)", "--address ADDR (default 0x0E8000)").
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace kavo3::cli {

// Gives `app` and its subcommands the readable layout.
void useReadableHelp(CLI::App& app);

// The help of `app`, or of the subcommand `topic` names; exit status 0, or 64 for a topic that
// is not a subcommand (with what was meant).
int printHelp(const CLI::App& app, const std::vector<std::string>& topic);

// The subcommands that were given, "timing show" for instance.
std::string commandPath(const CLI::App& app);

}  // namespace kavo3::cli
