// The wire trace that KAVO3_TRACE asks for: one flushed line per event of the link.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace kavo3::link {

class Trace {
public:
    // Appends to `path`; nullptr when the file cannot be opened.
    static std::unique_ptr<Trace> open(const std::string& path);
    // The trace named by KAVO3_TRACE, or nullptr when it is not set.
    static std::unique_ptr<Trace> fromEnvironment();
    // Writes no file; only hands its diagnostic lines to a listener.
    static std::unique_ptr<Trace> withoutFile();

    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    void output(std::span<const std::uint8_t> report);
    void input(std::span<const std::uint8_t> report);
    void noReport();
    void note(std::string_view text);

    // Also gets the text of every diagnostic line (what the search examined and why).
    void setNoteListener(std::function<void(std::string_view)> listener) {
        noteListener_ = std::move(listener);
    }

    // "<ms> OUT 00 02 ..." without the newline; exposed for tests.
    static std::string formatReport(long long ms, std::string_view kind,
                                    std::span<const std::uint8_t> bytes);

private:
    explicit Trace(std::FILE* file) : file_(file) {}
    void writeLine(const std::string& line);
    std::FILE* file_;
    std::function<void(std::string_view)> noteListener_;
};

// Whole milliseconds since the program started.
long long millisecondsSinceStart();

}  // namespace kavo3::link
