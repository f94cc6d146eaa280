#include "cli/Help.h"

#include <cstdio>
#include <memory>

#include "cli/ExitCodes.h"
#include "cli/Suggestions.h"

namespace kavo3::cli {

namespace {

class ReadableFormatter : public CLI::Formatter {
  public:
    std::string make_option_opts(const CLI::Option* option) const override {
        if (!option->get_option_text().empty()) return " " + option->get_option_text();
        std::string out;
        if (option->get_items_expected_max() > 0) {
            // A positional's name already says what it is.
            if (!option->nonpositional()) {
                if (option->get_items_expected_max() > 1) out += " ...";
            } else {
                out += " " + option->get_type_name();
            }
            if (!option->get_default_str().empty())
                out += " (default " + option->get_default_str() + ")";
        }
        if (option->get_required()) out += " (required)";
        return out;
    }
};

}  // namespace

void useReadableHelp(CLI::App& app) { app.formatter(std::make_shared<ReadableFormatter>()); }

int printHelp(const CLI::App& app, const std::vector<std::string>& topic) {
    const CLI::App* current = &app;
    for (const std::string& word : topic) {
        const CLI::App* next = nullptr;
        for (const CLI::App* sub : current->get_subcommands([](const CLI::App*) { return true; }))
            if (sub->get_name() == word) next = sub;
        if (!next) {
            std::vector<std::string> names;
            for (const CLI::App* sub :
                 current->get_subcommands([](const CLI::App*) { return true; }))
                names.push_back(sub->get_name());
            const std::string meant = closestName(word, names);
            std::fprintf(stderr, "kavo3cli: no help on %s: not a subcommand%s\n", word.c_str(),
                         meant.empty() ? "" : ("; did you mean " + meant + "?").c_str());
            return kExitUsage;
        }
        current = next;
    }
    std::string name;
    for (const CLI::App* a = current; a; a = a->get_parent())
        name = a->get_name() + (name.empty() ? "" : " ") + name;
    // Through the formatter: App::help() of a parsed app shows the subcommand given, which
    // here is "help" itself.
    std::fputs(
        current->get_formatter()->make_help(current, name, CLI::AppFormatMode::Normal).c_str(),
        stdout);
    return kExitOk;
}

std::string commandPath(const CLI::App& app) {
    std::string path;
    for (const CLI::App* current = &app;;) {
        const auto chosen = current->get_subcommands();
        if (chosen.empty()) break;
        current = chosen.front();
        path += (path.empty() ? "" : " ") + current->get_name();
    }
    return path;
}

}  // namespace kavo3::cli
