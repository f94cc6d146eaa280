#include "link/Trace.h"

#include <chrono>
#include <cstdlib>

namespace kavo3::link {

namespace {
const auto programStart = std::chrono::steady_clock::now();
}

long long millisecondsSinceStart() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 programStart)
        .count();
}

std::unique_ptr<Trace> Trace::open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) return nullptr;
    return std::unique_ptr<Trace>(new Trace(file));
}

std::unique_ptr<Trace> Trace::fromEnvironment() {
    const char* path = std::getenv("KAVO3_TRACE");
    if (!path || !*path) return nullptr;
    return open(path);
}

std::unique_ptr<Trace> Trace::withoutFile() { return std::unique_ptr<Trace>(new Trace(nullptr)); }

Trace::~Trace() {
    if (file_) std::fclose(file_);
}

std::string Trace::formatReport(long long ms, std::string_view kind,
                                std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string line = std::to_string(ms);
    line += ' ';
    line += kind;
    line.reserve(line.size() + bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        line += ' ';
        line += digits[b >> 4];
        line += digits[b & 0x0F];
    }
    return line;
}

void Trace::writeLine(const std::string& line) {
    if (!file_) return;
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    // Flushed at once so that a killed program still leaves its trace.
    std::fflush(file_);
}

void Trace::output(std::span<const std::uint8_t> report) {
    if (!file_) return;
    writeLine(formatReport(millisecondsSinceStart(), "OUT", report));
}

void Trace::input(std::span<const std::uint8_t> report) {
    if (!file_) return;
    writeLine(formatReport(millisecondsSinceStart(), "IN", report));
}

void Trace::noReport() { writeLine(std::to_string(millisecondsSinceStart()) + " NONE"); }

void Trace::note(std::string_view text) {
    if (noteListener_) noteListener_(text);
    std::string line = "# ";
    line += text;
    writeLine(line);
}

}  // namespace kavo3::link
