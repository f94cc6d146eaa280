#include "version/ProgramVersion.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kavo3::version {

// Written by the build (cmake/BuildCommit.cmake) each time it runs.
extern const char* const kBuildCommit;

std::string_view version() { return KAVO3_VERSION; }

std::string_view commit() { return kBuildCommit; }

std::string versionLine(std::string_view program) {
    std::string line(program);
    line += ' ';
    line += version();
    line += " (commit ";
    line += commit();
    line += ')';
    return line;
}

bool askedForVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--version") return true;
    return false;
}

void printVersion(std::string_view program) { printToConsole(versionLine(program) + "\n"); }

void printToConsole(std::string_view text) {
#ifdef _WIN32
    // A window program has no console of its own; typed into one, it answers there.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
#endif
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace kavo3::version
