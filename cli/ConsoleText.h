// kavo3cli writes UTF-8, as on Linux. A Windows console decodes the bytes it is given with its
// output code page (932 on a Japanese Windows), one write at a time, so there the unit's
// Japanese texts go to the console as UTF-16 instead, which it shows whatever its code page.
// Output redirected to a file or a pipe stays UTF-8 bytes.
#pragma once

#include <cstdio>

namespace kavo3::cli {

// Switches a Windows console that kavo3cli writes to to UTF-8 for everything else it prints
// (file names, for instance), and gives it back its own code page when kavo3cli ends.
void useUtf8Console();

// printf to stdout or stderr, for texts that may hold Japanese.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void printText(std::FILE* stream, const char* format, ...);

}  // namespace kavo3::cli
