// kavo3cli ended by a signal at a random point of a download's data phase, judged by the wire
// trace: the unit gets every data report the write start announced and answers the last one;
// the file's bytes end where the signal came and erased bytes follow; nothing is sent after
// them (no verify); the exit status is 128 + the first signal's number. A TERM or HUP after
// the first signal is ignored; only a second Ctrl-C abandons at once, and says what then
// settles the unit. The simulated unit holds on to the chosen report until the signal has
// come, so that the point of the stop never depends on the machine's speed.
#include <gtest/gtest.h>

#include <random>

#include "CliProcess.h"

namespace {

using namespace kavo3::cli::testing;

constexpr int kReports = 2048;

struct Case {
    int signal;
    int second;  // a second signal right after the first, 0 for none
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

    for (const Case c : {Case{SIGINT, 0}, Case{SIGTERM, 0}, Case{SIGHUP, 0}, Case{SIGPIPE, 0},
                         Case{SIGTERM, SIGHUP}, Case{SIGHUP, SIGHUP}, Case{SIGTERM, SIGINT},
                         Case{SIGINT, SIGINT}}) {
        const bool abandoned = c.signal == SIGINT && c.second == SIGINT;
        const int stopAt = std::uniform_int_distribution<int>(1, kReports - 2)(random);
        SCOPED_TRACE("signal " + std::to_string(c.signal) + " then " + std::to_string(c.second) +
                     " after data report " + std::to_string(stopAt));
        const auto trace = folder.path() / "trace.txt";
        std::filesystem::remove(trace);

        // The connection check, four 4 KiB erases and the write start come before the data; a
        // second signal comes while the padding is held a report later.
        const int first = 6 + stopAt, second = first + 1;
        const std::string hold = "hold=" + std::to_string(first) +
                                 (c.second ? "/" + std::to_string(second) : std::string());
        const pid_t pid = startCli(
            folder, {"--sim=" + hold, "--trace", "trace.txt", "download", "rom.bin"});
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(heldAtItsReport(folder, first));
        ::kill(pid, c.signal);
        if (c.second != 0) {
            ASSERT_TRUE(heldAtItsReport(folder, second));
            ::kill(pid, c.second);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
        const std::string err = readText(folder.path() / "stderr.txt");
        ASSERT_EQ(dataReportsSoFar(trace) >= stopAt, true);

        const auto lines = readTrace(trace);
        const auto start = std::find_if(lines.begin(), lines.end(), isWriteStart);
        ASSERT_NE(start, lines.end());
        const auto answer =
            std::find_if(start + 1, lines.end(), [](const Line& l) { return l.kind != "OUT"; });
        const long data = answer - (start + 1);
        if (abandoned) {
            // Abandoned: the unit was left expecting data, and the user is told what settles it.
            EXPECT_LT(data, kReports);
            EXPECT_EQ(answer, lines.end());
            EXPECT_NE(err.find("sends the rest first"), std::string::npos) << err;
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

TEST(KavoCliStop, ARunKilledInTheDataPhaseLeavesItsDebtToTheNextRunWhichSettlesItFirst) {
    Folder folder;
    {
        std::ofstream out(folder.path() / "rom.bin", std::ios::binary);
        for (int i = 0; i < 8 * kReports; ++i) out.put(static_cast<char>(i * 13));
    }
    // The unit outlives the program as a real one does: its state in a file, beside ours.
    ::setenv("XDG_STATE_HOME", (folder.path() / "state").c_str(), 1);
    const std::string unit = "--sim=keep=" + (folder.path() / "unit").string();

    const pid_t pid = startCli(folder, {unit + ",hold=306", "download", "rom.bin"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(heldAtItsReport(folder, 306));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_NE(readText(folder.path() / "unit").find("dataleft=1748"), std::string::npos);
    ASSERT_FALSE(std::filesystem::is_empty(folder.path() / "state" / "kavo3"));

    const pid_t next = startCli(folder, {unit, "--trace", "next.txt", "status"});
    ASSERT_EQ(::waitpid(next, &status, 0), next);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << readText(folder.path() / "stderr.txt");
    EXPECT_NE(readText(folder.path() / "stderr.txt").find("could not finish"), std::string::npos);
    EXPECT_NE(readText(folder.path() / "unit").find("dataleft=0"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path() / "state" / "kavo3"));
    // Settled first: the probe, erased bytes to the count, then the connection check answered.
    const auto lines = readTrace(folder.path() / "next.txt");
    const long reports =
        std::count_if(lines.begin(), lines.end(), [](const Line& l) { return l.kind == "OUT"; });
    EXPECT_EQ(reports, 1748 + 1);
    ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
