#include "link/Trace.h"

#include <chrono>
#include <cstdlib>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

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
#ifdef _WIN32
    std::FILE* file = std::fopen(path.c_str(), "a");
#else
    // Never waits at the start: a FIFO without a reader is refused instead of blocking the
    // program before it has done anything.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "a");
    if (!file) ::close(fd);
#endif
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
