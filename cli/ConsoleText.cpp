#include "cli/ConsoleText.h"

#include <cstdarg>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdlib>
#endif

namespace kavo3::cli {

#ifdef _WIN32

namespace {

UINT consoleCodePage = 0;

void giveBackCodePage() { SetConsoleOutputCP(consoleCodePage); }

// The console behind a stream, or nullptr when the stream goes elsewhere.
HANDLE consoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

bool writeToConsole(std::FILE* stream, const std::string& text) {
    const HANDLE console = consoleOf(stream);
    if (!console) return false;
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    // What the stream still holds goes first, so that the order of the lines stays.
    std::fflush(stream);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

void useUtf8Console() {
    if (!consoleOf(stdout) && !consoleOf(stderr)) return;
    const UINT codePage = GetConsoleOutputCP();
    if (codePage == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    consoleCodePage = codePage;
    std::atexit(giveBackCodePage);
}

#else

// Terminals on Linux take UTF-8 as it is.
void useUtf8Console() {}

namespace {
bool writeToConsole(std::FILE*, const std::string&) { return false; }
}  // namespace

#endif

void printText(std::FILE* stream, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    if (!writeToConsole(stream, text)) std::fputs(text.c_str(), stream);
}

}  // namespace kavo3::cli
