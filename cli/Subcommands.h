// How kavo3cli's subcommands join its command line: each adds itself with its own options
// and leaves behind what runs it once the line is parsed.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "cli/UnitAccess.h"

namespace kavo3::cli {

struct Subcommand {
    CLI::App* app = nullptr;
    std::function<int(const UnitOptions&)> run;
    // Reading subcommands take the first unit where several are attached; the others must be
    // told which.
    bool writes = true;
    // After the parse, what CLI11 cannot say of the options; throws a CLI::ParseError.
    std::function<void()> checkParsed;
};

class Subcommands {
  public:
    // A subcommand of `parent`; its help ends with the options every subcommand takes.
    static CLI::App* add(CLI::App& parent, const char* name, const char* description);
    // Those options, as a subcommand's help lists them under its own.
    static const char* commonOptionsHelp();

    Subcommand& runs(CLI::App* app, std::function<int(const UnitOptions&)> run,
                     bool writes = true);

    // The one the command line gave, or null.
    const Subcommand* given() const;

  private:
    std::vector<Subcommand> list_;
};

// Each adds its subcommand (timing: its group) to `app`; main calls them in the order the
// help lists them.
void addListCommand(CLI::App& app, Subcommands& commands);
void addStatusCommand(CLI::App& app, Subcommands& commands);
void addDownloadCommand(CLI::App& app, Subcommands& commands);
void addVerifyCommand(CLI::App& app, Subcommands& commands);
void addTimingCommands(CLI::App& app, Subcommands& commands);
void addCaptureCommand(CLI::App& app, Subcommands& commands);
void addKeyCommand(CLI::App& app, Subcommands& commands);
void addFreezeCommand(CLI::App& app, Subcommands& commands);
void addDoctorCommand(CLI::App& app, Subcommands& commands);

}  // namespace kavo3::cli
