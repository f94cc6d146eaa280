// kavo3cli as a child process for the tests that signal it: its folder, its start, what it
// wrote, and the wire trace it left.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kavo3::cli::testing {

using namespace std::chrono_literals;
using Bytes = std::vector<int>;


struct Line {
    std::string kind;  // OUT, IN or NONE
    Bytes bytes;       // after the report ID
};

inline std::vector<Line> readTrace(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<Line> lines;
    for (std::string text; std::getline(in, text);) {
        std::istringstream words(text);
        std::string ms;
        Line line;
        words >> ms >> line.kind;
        if (line.kind != "OUT" && line.kind != "IN" && line.kind != "NONE") continue;
        for (std::string hex; words >> hex;) line.bytes.push_back(std::stoi(hex, nullptr, 16));
        if (!line.bytes.empty()) line.bytes.erase(line.bytes.begin());
        lines.push_back(std::move(line));
    }
    return lines;
}

inline bool isWriteStart(const Line& line) {
    return line.kind == "OUT" && line.bytes.size() >= 8 && line.bytes[0] == 1;
}

// Data reports in the trace so far, counted from the write start on.
inline int dataReportsSoFar(const std::filesystem::path& path) {
    const auto lines = readTrace(path);
    const auto start = std::find_if(lines.begin(), lines.end(), isWriteStart);
    if (start == lines.end()) return -1;
    return static_cast<int>(
        std::count_if(start + 1, lines.end(), [](const Line& l) { return l.kind == "OUT"; }));
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Folder {
  public:
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kavo3-stop-XXXXXX");
        path_ = ::mkdtemp(pattern.data());
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Starts kavo3cli in `folder` with standard output and error into files there; `stdoutFd`, when
// given, becomes its standard output instead.
inline pid_t startCli(const Folder& folder, const std::vector<std::string>& args,
                      int stdoutFd = -1) {
    // What an earlier run said must not pass for this one's.
    std::filesystem::remove(folder.path() / "stderr.txt");
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.path().c_str()) != 0) _exit(126);
    const int out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(stdoutFd >= 0 ? stdoutFd : out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv{const_cast<char*>(KAVO3CLI)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KAVO3CLI, argv.data());
    _exit(127);
}

// Waits until the simulated unit says it holds on to `report` (a generous guard, not a pace).
inline bool heldAtItsReport(const Folder& folder, int report) {
    const std::string said = "holding at output report " + std::to_string(report) + " ";
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (readText(folder.path() / "stderr.txt").find(said) != std::string::npos)
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

}  // namespace kavo3::cli::testing
