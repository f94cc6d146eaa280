#include "app/ProgramOptions.h"

namespace kavo3::app {

std::optional<ProgramOptions> parseProgramOptions(const QStringList& arguments,
                                                  std::string& error) {
    ProgramOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        std::optional<std::string>* target = nullptr;
        const QString name = argument.section('=', 0, 0);
        if (name == QLatin1String("--device")) target = &options.device;
        if (name == QLatin1String("--tick-ms")) target = &options.tickMs;
        if (!target) {
            error = "unknown argument '" + argument.toStdString() + "'; " + kProgramUsage;
            return std::nullopt;
        }
        QString value;
        if (argument.contains('=')) {
            value = argument.section('=', 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = name.toStdString() + " needs a value; " + kProgramUsage;
            return std::nullopt;
        }
        if (value.isEmpty()) {
            error = name.toStdString() + " needs a value; " + kProgramUsage;
            return std::nullopt;
        }
        // The window program talks to one unit; which of two was meant is not for it to guess.
        if (target == &options.device && options.device && *options.device != value.toStdString()) {
            error = "--device names one unit; give it once; " + std::string(kProgramUsage);
            return std::nullopt;
        }
        *target = value.toStdString();
    }
    return options;
}

}  // namespace kavo3::app
