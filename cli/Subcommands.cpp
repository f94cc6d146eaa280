#include "cli/Subcommands.h"

namespace kavo3::cli {

const char* Subcommands::commonOptionsHelp() {
    return "Every subcommand also takes --device ID, --json, --quiet, --sim[=SWITCHES], --trace "
           "FILE\n"
           "and --tick-ms N (see kavo3cli --help).\n";
}

CLI::App* Subcommands::add(CLI::App& parent, const char* name, const char* description) {
    CLI::App* sub = parent.add_subcommand(name, description);
    sub->fallthrough();
    sub->footer(commonOptionsHelp());
    return sub;
}

Subcommand& Subcommands::runs(CLI::App* app, std::function<int(const UnitOptions&)> run,
                              bool writes) {
    list_.push_back({app, std::move(run), writes, {}});
    return list_.back();
}

const Subcommand* Subcommands::given() const {
    for (const Subcommand& command : list_)
        if (*command.app) return &command;
    return nullptr;
}

}  // namespace kavo3::cli
