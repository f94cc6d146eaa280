// A seeded random run of kavo3cli subcommands against the simulated unit, with the unit's
// presence switched at random points: unplugged, plugged in again at once (at the same path or
// another), plugged in again a little later, fallen silent, or answering late. Every run must
// end with success or exit 2, write its output file whole on success and leave none on a
// failure, and never make the simulated unit see a report where it does not belong (exit 70).
//
//   cli_random_run KAVO3CLI [WORK]
//   KAVO3_SEED=<n>  the same choices again      KAVO3_RUNS=<n>  how many runs (default 150)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "RunProcess.h"

namespace {

namespace fs = std::filesystem;
using kavo3::cli::testing::contentsOf;
using kavo3::cli::testing::runProcess;

struct Subcommand {
    const char* name;
    std::vector<std::string> args;
    const char* output;  // written on success, or nullptr
    std::uintmax_t outputSize;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: cli_random_run KAVO3CLI [WORK]\n");
        return 64;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const fs::path work =
        argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "kavo3-cli-random";
    fs::remove_all(work);
    fs::create_directories(work);

    const char* seedText = std::getenv("KAVO3_SEED");
    const std::uint64_t seed =
        seedText ? std::strtoull(seedText, nullptr, 10) : std::random_device{}();
    const char* runsText = std::getenv("KAVO3_RUNS");
    const int runs = runsText ? std::atoi(runsText) : 150;
    std::mt19937_64 rng(seed);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };

    // Files the subcommands read: a timing file as the unit gives it, and download files.
    const fs::path timingFile = work / "good.bin";
    runProcess({cli, "--sim", "timing", "save", timingFile.string()}, work / "out", work / "err");
    const std::vector<std::uint32_t> romSizes{8, 100, 4096, 20000, 40000};
    for (std::uint32_t size : romSizes) {
        std::ofstream rom(work / ("rom" + std::to_string(size) + ".bin"), std::ios::binary);
        for (std::uint32_t i = 0; i < size; ++i) rom.put(static_cast<char>(i * 7 + 3));
    }
    const fs::path bitmap = work / "out.bmp";
    const fs::path saved = work / "saved.bin";
    int failures = 0;

    // First the runs that once let bytes reach the unit that nobody meant to send: each ends
    // with exit 2, and its trace never holds that report. The chunks read as erase commands.
    const fs::path chunks = work / "chunks.bin";
    {
        std::ofstream out(chunks, std::ios::binary);
        for (int i = 0; i < 8192; ++i) out.write("\x04\x00\x0e\x80\x00\x00\x00\x00", 8);
    }
    const struct {
        std::vector<std::string> args;
        const char* neverSent;
    } scenarios[] = {
        {{"--sim=unplug=3,replug=300,usb", "download", chunks.string()},
         "OUT 00 04 00 0e 80 00 00 00 00"},
        {{"--sim=noanswer=1,hostwait=20", "timing", "set", "h2pos=5"}, "OUT 00 11"},
        {{"--sim=unplug=1,replug=0", "timing", "load", timingFile.string()}, "OUT 00 11"},
    };
    for (const auto& scenario : scenarios) {
        const fs::path trace = work / "trace.txt";
        fs::remove(trace);
        std::vector<std::string> args{cli, "--trace", trace.string()};
        args.insert(args.end(), scenario.args.begin(), scenario.args.end());
        const int status = runProcess(args, work / "out", work / "err");
        if (status == 2 && contentsOf(trace).find(scenario.neverSent) == std::string::npos)
            continue;
        ++failures;
        std::printf("FAILED: kavo3cli %s %s: exit %d (expected 2), or it sent %s\n%s",
                    scenario.args[0].c_str(), scenario.args[1].c_str(), status, scenario.neverSent,
                    contentsOf(work / "err").c_str());
    }

    std::map<int, int> exits;
    int downloads = 0, downloadsHit = 0, faultsHit = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < runs; ++run) {
        const std::uint32_t romSize = romSizes[static_cast<std::size_t>(pick(5))];
        const std::vector<Subcommand> subcommands{
            {"status", {"status"}, nullptr, 0},
            {"key",
             {"key", std::to_string(std::vector<int>{1, 5, 24, 76, 84}[pick(5)])},
             nullptr,
             0},
            {"freeze", {"freeze", pick(2) ? "on" : "off"}, nullptr, 0},
            {"timing show", {"timing", "show"}, nullptr, 0},
            {"timing set",
             {"timing", "set", "h2pos=" + std::to_string(pick(4096)), "vsw=7"},
             nullptr,
             0},
            {"timing save", {"timing", "save", saved.string()}, "saved.bin", 257},
            {"timing load", {"timing", "load", timingFile.string()}, nullptr, 0},
            {"capture", {"capture", bitmap.string()}, "out.bmp", 54 + 128 * 101 * 3},
            {"download",
             {"download", (work / ("rom" + std::to_string(romSize) + ".bin")).string()},
             nullptr,
             0},
        };
        const Subcommand& sub =
            subcommands[static_cast<std::size_t>(pick(static_cast<int>(subcommands.size())))];

        std::string switches = "size=128x101,hostwait=3";
        if (pick(10) < 7) {
            const std::string k =
                std::to_string(pick(sub.name == std::string("download") ? 600 : 120));
            static const char* const kFaults[] = {
                "unplug=@",          "unplug=@,replug=0", "unplug=@,replug=0,samepath",
                "unplug=@,replug=R", "noanswer=@",        "late=@"};
            std::string fault = kFaults[pick(6)];
            fault.replace(fault.find('@'), 1, k);
            if (const auto r = fault.find('R'); r != std::string::npos)
                fault.replace(r, 1, std::to_string(1 + pick(20)));
            switches += "," + fault;
        }
        if (sub.output) fs::remove(work / sub.output);
        const fs::path trace = work / "trace.txt";
        fs::remove(trace);

        std::vector<std::string> args{cli, "--sim=" + switches, "--trace", trace.string()};
        args.insert(args.end(), sub.args.begin(), sub.args.end());
        const int status = runProcess(args, work / "out", work / "err");
        ++exits[status];

        const std::string traced = contentsOf(trace);
        const bool hit = traced.find(" NONE") != std::string::npos ||
                         traced.find("is gone") != std::string::npos ||
                         traced.find("not open") != std::string::npos;
        faultsHit += hit;
        if (sub.name == std::string("download")) {
            ++downloads;
            downloadsHit += hit;
        }

        std::string wrong;
        if (status != 0 && status != 2) wrong = "exit " + std::to_string(status);
        if (sub.output) {
            const fs::path out = work / sub.output;
            std::error_code error;
            const bool present = fs::exists(out);
            if (status == 0 && (!present || fs::file_size(out, error) != sub.outputSize))
                wrong += " success without its whole output file";
            if (status != 0 && present) wrong += " a failure left its output file";
        }
        if (!wrong.empty()) {
            ++failures;
            if (failures <= 5) {
                std::printf("FAILED run %d: kavo3cli --sim=%s", run, switches.c_str());
                for (const std::string& a : sub.args) std::printf(" %s", a.c_str());
                std::printf(":%s\n%s", wrong.c_str(), contentsOf(work / "err").c_str());
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::string histogram;
    for (const auto& [status, count] : exits)
        histogram += " " + std::to_string(status) + ":" + std::to_string(count);
    std::printf(
        "cli random run: seed %llu, %d runs in %.1f s, exits%s; %d presence faults hit a run, "
        "%d of %d downloads; %d failures\n",
        static_cast<unsigned long long>(seed), runs, seconds, histogram.c_str(), faultsHit,
        downloadsHit, downloads, failures);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
