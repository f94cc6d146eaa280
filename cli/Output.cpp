#include "cli/Output.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "cli/ConsoleText.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kavo3::cli {

namespace {

OutputMode mode;

std::string formatted(const char* format, std::va_list arguments) {
    std::va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

}  // namespace

void setOutputMode(OutputMode newMode) { mode = newMode; }
const OutputMode& outputMode() { return mode; }

void result(const char* format, ...) {
    if (mode.json) return;
    std::va_list arguments;
    va_start(arguments, format);
    const std::string text = formatted(format, arguments);
    va_end(arguments);
    printText(stdout, "%s", text.c_str());
    std::fflush(stdout);
}

void note(const char* format, ...) {
    if (mode.quiet) return;
    std::va_list arguments;
    va_start(arguments, format);
    const std::string text = formatted(format, arguments);
    va_end(arguments);
    printText(stderr, "%s", text.c_str());
}

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace kavo3::cli
