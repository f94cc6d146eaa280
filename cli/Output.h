// Where kavo3cli's words go: results on standard output, progress and notes on standard error.
// --quiet keeps the notes back; --json puts the results into one JSON document instead
// (JsonReport.h), so that standard output holds nothing else.
#pragma once

// mingw-w64's C++ runtime formats as GNU does (%zu and all), whatever its C library would.
#if defined(__MINGW32__)
#define KAVO3_PRINTF_LIKE(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define KAVO3_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define KAVO3_PRINTF_LIKE(f, a)
#endif

namespace kavo3::cli {

struct OutputMode {
    bool json = false;
    bool quiet = false;
};

void setOutputMode(OutputMode mode);
const OutputMode& outputMode();

// A result for people, printf-style; under --json the document says it instead.
KAVO3_PRINTF_LIKE(1, 2) void result(const char* format, ...);

// Progress, phases and notes, printf-style: standard error, unless --quiet. Failures are not
// notes: they go to standard error whatever the mode.
KAVO3_PRINTF_LIKE(1, 2) void note(const char* format, ...);

// Whether standard error is a terminal, where progress is drawn as a bar.
bool stderrIsTerminal();

}  // namespace kavo3::cli
