#include "app/ProgramOptions.h"

#include <QCommandLineParser>
#include <string_view>

namespace kavo3::app {

namespace {

// The one definition of the options, for parsing and for the help alike.
struct Parser {
    QCommandLineParser parser;
    QCommandLineOption device{
        "device",
        "Which unit, by its port path (stays with the hub port) or node path, as 'kavo3cli "
        "list' shows them; without it the first unit found.",
        "ID"};
    QCommandLineOption tickMs{"tick-ms",
                              "The settle waits' tick, 1 to 1000 ms (default 1, or "
                              "KAVO3_TICK_MS); try 16 for a unit that fails erases or timing "
                              "loads.",
                              "N"};
    QCommandLineOption version{"version",
                               "Print the program, its version and the commit it was built from."};

    Parser() {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addHelpOption();
        parser.addOptions({device, tickMs, version});
    }
};

}  // namespace

std::optional<ProgramOptions> parseProgramOptions(const QStringList& arguments,
                                                  std::string& error) {
    Parser p;
    if (!p.parser.parse(QStringList{"program"} + arguments)) {
        error = p.parser.errorText().toStdString() + "; " + kProgramUsage;
        return std::nullopt;
    }
    if (!p.parser.positionalArguments().isEmpty()) {
        error = "unknown argument '" + p.parser.positionalArguments().front().toStdString() +
                "'; " + kProgramUsage;
        return std::nullopt;
    }
    ProgramOptions options;
    for (const auto& [option, target] :
         {std::pair{&p.device, &options.device}, std::pair{&p.tickMs, &options.tickMs}}) {
        const QStringList values = p.parser.values(*option);
        if (values.isEmpty()) continue;
        const std::string name = "--" + option->names().front().toStdString();
        for (const QString& value : values) {
            if (value.isEmpty()) {
                error = name + " needs a value; " + kProgramUsage;
                return std::nullopt;
            }
            // The window program talks to one unit; which of two was meant is not for it to
            // guess.
            if (option == &p.device && value != values.front()) {
                error = "--device names one unit; give it once; " + std::string(kProgramUsage);
                return std::nullopt;
            }
        }
        *target = values.back().toStdString();
    }
    return options;
}

bool askedForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h" || argument == "-?" || argument == "-help")
            return true;
    }
    return false;
}

std::string programHelp(const std::string& program, const std::string& more) {
    Parser p;
    p.parser.setApplicationDescription(
        QString::fromStdString(program) +
        ": the KAVO-3 video signal adjustment tool, its windows as the unit's own program has "
        "them.");
    std::string text = p.parser.helpText().toStdString();
    // helpText() names the program by the application object, which does not exist yet.
    const std::string usage = "Usage: ";
    if (text.starts_with(usage)) {
        const std::size_t end = text.find(' ', usage.size());
        text.replace(usage.size(), end - usage.size(), program);
    }
    text +=
        "\nEnvironment:\n  KAVO3_TRACE=FILE  append one line per event of the device link to FILE\n";
    return text + more;
}

}  // namespace kavo3::app
