#include "cli/Suggestions.h"

#include <algorithm>
#include <map>

namespace kavo3::cli {

namespace {

// Letters inserted, deleted, replaced or swapped with their neighbour ("shwo" is one from
// "show").
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min(
                {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The words of other device tools for what kavo3cli calls otherwise.
const std::map<std::string, std::string>& synonyms() {
    static const std::map<std::string, std::string> words{
        {"flash", "download"},   {"write", "download"},     {"program", "download"},
        {"upload", "download"},  {"load", "download"},      {"burn", "download"},
        {"check", "verify"},     {"compare", "verify"},     {"checksum", "verify"},
        {"ls", "list"},          {"devices", "list"},       {"scan", "list"},
        {"info", "status"},      {"diag", "doctor"},        {"diagnose", "doctor"},
        {"snapshot", "capture"}, {"screenshot", "capture"}, {"grab", "capture"},
        {"press", "key"},        {"remote", "key"},         {"pause", "freeze"},
    };
    return words;
}

bool isOptionOf(const CLI::App& app, const std::string& name, bool& takesValue) {
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& longName : option->get_lnames()) {
            if ("--" + longName != name) continue;
            takesValue = option->get_items_expected_max() > 0;
            return true;
        }
    }
    return false;
}

std::vector<std::string> optionNames(const CLI::App* app) {
    std::vector<std::string> names;
    for (; app; app = app->get_parent())
        for (const CLI::Option* option : app->get_options())
            for (const std::string& longName : option->get_lnames())
                names.push_back("--" + longName);
    return names;
}

std::vector<std::string> subcommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(sub->get_name());
    return names;
}

}  // namespace

std::string closestName(const std::string& typed, const std::vector<std::string>& names) {
    std::string best;
    std::size_t bestDistance = typed.size() / 3 + 1;
    for (const std::string& name : names) {
        const std::size_t distance = editDistance(typed, name);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = name;
        }
    }
    return best;
}

std::string didYouMean(const CLI::App& app, int argc, char** argv) {
    const CLI::App* current = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") return {};
        if (word.rfind("--", 0) == 0) {
            const std::string name = word.substr(0, word.find('='));
            bool takesValue = false;
            bool known = false;
            for (const CLI::App* a = current; a && !known; a = a->get_parent())
                known = isOptionOf(*a, name, takesValue);
            if (!known) {
                const std::string meant = closestName(name, optionNames(current));
                return "kavo3cli: unknown option " + name +
                       (meant.empty() ? "; 'kavo3cli help' lists the options"
                                      : "; did you mean " + meant + "?");
            }
            if (takesValue && word.find('=') == std::string::npos) ++i;
            continue;
        }
        if (word.size() > 1 && word[0] == '-') continue;
        const std::vector<std::string> subs = subcommandNames(*current);
        if (subs.empty()) continue;  // an argument of the subcommand
        if (std::find(subs.begin(), subs.end(), word) != subs.end()) {
            current = current->get_subcommand(word);
            continue;
        }
        std::string meant = closestName(word, subs);
        if (meant.empty() && current == &app) {
            const auto synonym = synonyms().find(word);
            if (synonym != synonyms().end()) meant = synonym->second;
        }
        const std::string where = current == &app ? "kavo3cli" : "kavo3cli " + current->get_name();
        return "kavo3cli: " + word + " is not a subcommand of " + where +
               (meant.empty() ? "; 'kavo3cli help' lists them" : "; did you mean " + meant + "?");
    }
    return {};
}

}  // namespace kavo3::cli
