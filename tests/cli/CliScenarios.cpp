// kavo3cli against a unit that leaves, comes back or falls silent where it once let bytes
// reach the unit that nobody meant to send; each must end with exit 2 and send nothing more.
//
//   cli_scenarios KAVO3CLI WORK
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RunProcess.h"

namespace {

namespace fs = std::filesystem;
using kavo3::cli::testing::contentsOf;
using kavo3::cli::testing::runProcess;

struct Scenario {
    const char* name;
    std::vector<std::string> args;  // after kavo3cli --trace TRACE
    const char* neverSent;          // an output report that must not be in the trace
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: cli_scenarios KAVO3CLI WORK\n");
        return 64;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const fs::path work = argv[2];
    fs::remove_all(work);
    fs::create_directories(work);

    // 64 KiB of chunks that read as erase commands.
    const fs::path chunks = work / "chunks.bin";
    {
        std::ofstream out(chunks, std::ios::binary);
        for (int i = 0; i < 8192; ++i) out.write("\x04\x00\x0e\x80\x00\x00\x00\x00", 8);
    }

    const std::vector<Scenario> scenarios{
        {"a download whose unit leaves during the erase and is back during the data",
         {"--sim=unplug=3,replug=300,usb", "download", chunks.string()},
         "OUT 00 04 00 0e 80 00 00 00 00"},
        {"a timing set whose unit falls silent after the connection check",
         {"--sim=noanswer=1,hostwait=20", "timing", "set", "h2pos=5"},
         "OUT 00 11"},
        {"a timing load whose unit comes back right after the connection check",
         {"--sim=unplug=1,replug=0", "timing", "load", (work / "good.bin").string()},
         "OUT 00 11"},
    };
    runProcess({cli, "--sim", "timing", "save", (work / "good.bin").string()}, work / "out",
               work / "err");

    int failures = 0;
    for (const Scenario& s : scenarios) {
        const fs::path trace = work / "trace.txt";
        fs::remove(trace);
        std::vector<std::string> args{cli, "--trace", trace.string()};
        args.insert(args.end(), s.args.begin(), s.args.end());
        const int status = runProcess(args, work / "out", work / "err");
        const std::string traced = contentsOf(trace);
        std::string wrong;
        if (status != 2) wrong += " exit " + std::to_string(status) + ", expected 2;";
        if (traced.find(s.neverSent) != std::string::npos)
            wrong += std::string(" the trace holds ") + s.neverSent + ";";
        if (wrong.empty()) continue;
        ++failures;
        std::printf("FAILED: %s:%s\n%s\n", s.name, wrong.c_str(), contentsOf(work / "err").c_str());
    }
    std::printf("cli scenarios: %zu, %d failed\n", scenarios.size(), failures);
    return failures == 0 ? 0 : 1;
}
