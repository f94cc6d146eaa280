// kavo3cli ended by a signal at a random point of a download's data phase, judged by the wire
// trace: the unit gets every data report the write start announced and answers the last one;
// the file's bytes end where the signal came and erased bytes follow; nothing is sent after
// them (no verify); the exit status is 128 + the signal's number. A second signal abandons at
// once and says that the unit must be switched off and on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<int>;

constexpr int kReports = 2048;

struct Line {
    std::string kind;  // OUT, IN or NONE
    Bytes bytes;       // after the report ID
};

std::vector<Line> readTrace(const std::filesystem::path& path) {
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

bool isWriteStart(const Line& line) {
    return line.kind == "OUT" && line.bytes.size() >= 8 && line.bytes[0] == 1;
}

// Data reports in the trace so far, counted from the write start on.
int dataReportsSoFar(const std::filesystem::path& path) {
    const auto lines = readTrace(path);
    const auto start = std::find_if(lines.begin(), lines.end(), isWriteStart);
    if (start == lines.end()) return -1;
    return static_cast<int>(
        std::count_if(start + 1, lines.end(), [](const Line& l) { return l.kind == "OUT"; }));
}

std::string readText(const std::filesystem::path& path) {
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

pid_t startCli(const Folder& folder, const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.path().c_str()) != 0) _exit(126);
    const int out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv{const_cast<char*>(KAVO3CLI)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KAVO3CLI, argv.data());
    _exit(127);
}

struct Case {
    int signal;
    bool twice;
};

TEST(KavoCliStop, ASignalInTheDataPhaseLeavesTheUnitTakingCommands) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    Folder folder;
    Bytes file(8 * kReports);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<int>((i * 7 + i / 256 + 1) & 0x7F);
    {
        std::ofstream out(folder.path() / "rom.bin", std::ios::binary);
        for (int b : file) out.put(static_cast<char>(b));
    }

    for (const Case c :
         {Case{SIGINT, false}, Case{SIGTERM, false}, Case{SIGHUP, false}, Case{SIGINT, false},
          Case{SIGTERM, false}, Case{SIGHUP, false}, Case{SIGINT, true}}) {
        // Far enough from the end that the stop still finds the data phase running; a second
        // signal needs padding long enough to come in.
        const int stopAt =
            std::uniform_int_distribution<int>(1, c.twice ? kReports / 2 : kReports - 200)(random);
        SCOPED_TRACE("signal " + std::to_string(c.signal) + (c.twice ? " twice" : "") +
                     " after data report " + std::to_string(stopAt));
        const auto trace = folder.path() / "trace.txt";
        std::filesystem::remove(trace);

        const pid_t pid =
            startCli(folder, {"--sim=delay=200", "--trace", "trace.txt", "download", "rom.bin"});
        ASSERT_GT(pid, 0);
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (dataReportsSoFar(trace) < stopAt && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ::kill(pid, c.signal);
        if (c.twice) {
            std::this_thread::sleep_for(20ms);
            ::kill(pid, c.signal);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
        const std::string err = readText(folder.path() / "stderr.txt");

        const auto lines = readTrace(trace);
        const auto start = std::find_if(lines.begin(), lines.end(), isWriteStart);
        ASSERT_NE(start, lines.end());
        const auto answer =
            std::find_if(start + 1, lines.end(), [](const Line& l) { return l.kind != "OUT"; });
        const long data = answer - (start + 1);
        if (c.twice) {
            // Abandoned: the unit was left expecting data, and the user is told so.
            EXPECT_LT(data, kReports);
            EXPECT_EQ(answer, lines.end());
            EXPECT_NE(err.find("Switch the unit off and on"), std::string::npos) << err;
            continue;
        }
        // The unit's own answer to the last of the announced reports ends the phase.
        ASSERT_EQ(data, kReports);
        ASSERT_EQ(answer->kind, "IN");
        EXPECT_EQ((Bytes(answer->bytes.begin(), answer->bytes.begin() + 2)), (Bytes{0xAC, 1}));
        EXPECT_TRUE(
            std::none_of(answer, lines.end(), [](const Line& l) { return l.kind == "OUT"; }));
        long firstErased = kReports;
        for (long r = 0; r < kReports; ++r) {
            const Bytes sent(start[1 + r].bytes.begin(), start[1 + r].bytes.begin() + 8);
            if (firstErased == kReports && sent == Bytes(8, 0xFF)) firstErased = r;
            const Bytes expected = r < firstErased
                                       ? Bytes(file.begin() + 8 * r, file.begin() + 8 * r + 8)
                                       : Bytes(8, 0xFF);
            ASSERT_EQ(sent, expected) << "data report " << r;
        }
        EXPECT_GE(firstErased, stopAt);
        EXPECT_LT(firstErased, kReports);
        EXPECT_NE(err.find("download stopped"), std::string::npos) << err;
        EXPECT_NE(err.find("erased bytes (0xFF), about"), std::string::npos) << err;
    }
}

}  // namespace
