// What a program says of itself when asked with --version: its name, the version and the
// commit its sources came from, so that a report names exactly what was run.
#pragma once

#include <string>
#include <string_view>

namespace kavo3::version {

std::string_view version();
// The commit the build was made from ("git describe" of the sources), "unknown" without git.
std::string_view commit();
// "<program> <version> (commit <commit>)"
std::string versionLine(std::string_view program);

// True when an argument asks for the version.
bool askedForVersion(int argc, char** argv);
// Writes versionLine() and a line end to standard output; a window program started from a
// Windows console writes it to that console.
void printVersion(std::string_view program);

// Writes `text` to standard output as printVersion does (a window program's --help).
void printToConsole(std::string_view text);

}  // namespace kavo3::version
