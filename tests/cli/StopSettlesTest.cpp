// A capture or a timing run ended by a signal, a reader gone or a unit that falls silent
// settles its unit before the program ends: the freeze goes back, a Write end completes what
// was written and the timing access is closed; a run whose closing report was not taken fails.
// The simulated unit holds at the chosen report until the signal has come.
#include <gtest/gtest.h>

#include "CliProcess.h"

namespace {

using namespace kavo3::cli::testing;

struct Ending {
    const char* name;
    std::vector<std::string> args;
    int signal;     // sent once the unit holds at its report; 0: none
    bool noReader;  // standard output is a pipe whose reader has gone
    int status;
    Bytes lastCommands;  // the codes of the last output reports, in order
};

int waitFor(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(KavoCliStop, EveryEndingOfACaptureOrATimingRunSettlesTheUnit) {
    // Reports: the connection check; for a capture the setting check, Freeze, the frame
    // information, then one Line data request per line; for timing Timing access start, ten
    // block reads, then the Block writes of a load.
    const std::vector<Ending> endings{
        {"capture, SIGTERM in a line", {"--sim=size=128x101,hold=10", "capture", "x.bmp"}, SIGTERM,
         false, 143, {0x15, 0x16}},
        {"capture, the reader gone", {"--sim=size=128x101", "capture", "x.bmp"}, 0, true, 141,
         {0x15, 0x16}},
        {"capture, the unit falls silent",
         {"--sim=size=128x101,noanswer=8,hostwait=20", "capture", "x.bmp"}, 0, false, 2,
         {0x15, 0x16}},
        {"timing load, Ctrl-C after a Block write", {"--sim=hold=15", "timing", "load", "t.bin"},
         SIGINT, false, 130, {0x11, 0x12, 0x0F}},
        {"timing show, its closing not taken", {"--sim=refuse=13,refusals=4", "timing", "show"}, 0,
         false, 2, {0x10, 0x0F, 0x0F, 0x0F, 0x0F}},
    };
    Folder folder;
    {
        std::ofstream timing(folder.path() / "t.bin", std::ios::binary);
        for (int i = 0; i < 257; ++i) timing.put(static_cast<char>(i % 7));
    }
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.name);
        std::filesystem::remove(folder.path() / "trace.txt");
        std::filesystem::remove(folder.path() / "x.bmp");
        std::vector<std::string> args{"--trace", "trace.txt"};
        args.insert(args.end(), e.args.begin(), e.args.end());
        int pipeFds[2] = {-1, -1};
        if (e.noReader) {
            ASSERT_EQ(::pipe(pipeFds), 0);
            ::close(pipeFds[0]);
        }
        const pid_t pid = startCli(folder, args, pipeFds[1]);
        if (pipeFds[1] >= 0) ::close(pipeFds[1]);
        ASSERT_GT(pid, 0);
        if (e.signal != 0) {
            const std::string hold = e.args[0].substr(e.args[0].find("hold=") + 5);
            ASSERT_TRUE(heldAtItsReport(folder, std::stoi(hold)));
            ::kill(pid, e.signal);
        }
        EXPECT_EQ(waitFor(pid), e.status) << readText(folder.path() / "stderr.txt");
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "x.bmp"));

        const auto lines = readTrace(folder.path() / "trace.txt");
        Bytes codes;
        for (const Line& line : lines)
            if (line.kind == "OUT") codes.push_back(line.bytes[0]);
        ASSERT_GE(codes.size(), e.lastCommands.size());
        EXPECT_EQ(Bytes(codes.end() - static_cast<long>(e.lastCommands.size()), codes.end()),
                  e.lastCommands);
        // The freeze goes back as it was: released.
        if (e.lastCommands.back() == 0x16) {
            const auto last = std::find_if(lines.rbegin(), lines.rend(),
                                           [](const Line& l) { return l.kind == "OUT"; });
            EXPECT_EQ(last->bytes[1], 0);
        }
        // A silent unit costs one wait, not one per report of the frame.
        const long waits = std::count_if(lines.begin(), lines.end(),
                                         [](const Line& l) { return l.kind == "NONE"; });
        EXPECT_LE(waits, 2);
    }
}

}  // namespace
