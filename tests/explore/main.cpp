// Runs every case of the exploration and prints how many ran, and every class of case that
// failed: sequence, fault, ending and the report indexes, with what the oracle found.
// --every K (or KAVO3_EXPLORE_EVERY=K) runs only every K-th case, for the sanitizer build;
// --sequence NAME runs one sequence.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "CaseMatrix.h"
#include "sim/SimulatedUnit.h"
#include "timing/TimingFileIo.h"
#include "timing/TimingParameters.h"

using namespace kavo3;
using namespace kavo3::explore;

namespace {

Files makeFiles() {
    Files f;
    f.folder = std::filesystem::temp_directory_path() /
               ("kavo3-explore-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(f.folder);

    // 60 bytes: eight data reports, the last one half file and half erased bytes.
    for (int i = 0; i < 60; ++i) f.downloadBytes.push_back(static_cast<std::uint8_t>(0x3C + i * 7));
    f.download = f.folder / "small.bin";
    std::ofstream(f.download, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.downloadBytes.data()),
               static_cast<std::streamsize>(f.downloadBytes.size()));

    // A data file of the unit's own registers with h2pos moved, as a user saves and edits one.
    const sim::SimulatedUnit unit;
    timing::TimingImage image{};
    std::copy(unit.timingBlock().begin(), unit.timingBlock().end(), image.begin());
    const auto& h2pos = timing::kTimingParameters[0];
    const int value = h2pos.valueIn(image);
    image[h2pos.lowByte] = static_cast<std::uint8_t>((value + 5) % 256);
    const auto dataFile = f.folder / "kavo3_syc1.bin";
    timing::saveTimingFile(dataFile, image);
    f.timingData = timing::loadTimingFile(dataFile);
    f.timingSetValue = (value + 1) % 4096;
    f.timingSave = f.folder / "saved.bin";
    return f;
}

// "3-9,12": sorted numbers as ranges.
std::string ranges(const std::set<int>& numbers) {
    std::string out;
    for (auto it = numbers.begin(); it != numbers.end();) {
        const int first = *it;
        int last = first;
        while (++it != numbers.end() && *it == last + 1) last = *it;
        if (!out.empty()) out += ',';
        out += std::to_string(first);
        if (last != first) out += '-' + std::to_string(last);
    }
    return out;
}

struct ClassKey {
    int sequence, fault;  // in the order they are run; fault -1: none
    bool stopped;
    std::string found;
    auto operator<=>(const ClassKey&) const = default;
};
struct ClassCases {
    long count = 0;
    std::set<int> indexes, stops;
    std::set<int> offsets;  // fault index minus stop index, of the cases that stop
};

}  // namespace

int main(int argc, char** argv) {
    long every = 1;
    std::string only;
    if (const char* e = std::getenv("KAVO3_EXPLORE_EVERY")) every = std::atol(e);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--every") every = std::atol(argv[i + 1]);
        if (flag == "--sequence") only = argv[i + 1];
    }
    if (every < 1) every = 1;
#if defined(__GLIBC__)
    // Every case makes and drops a 2 MiB flash per unit: kept on the heap, not mapped and
    // unmapped each time, they cost no page faults.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif

    // The link tells standard error once per link of a unit that stalls, so once per case:
    // the cases' lines go to a file (kept, for a sanitizer's report), the distinct ones are
    // told at the end.
    const char* errorLog = "explore-stderr.log";
    std::printf("the cases' standard error goes to %s\n", errorLog);
    std::fflush(stdout);
    if (!std::freopen(errorLog, "w", stderr)) return 2;

    const Files files = makeFiles();
    const std::vector<Fault> allFaults = faults();
    std::map<ClassKey, ClassCases> failures;
    long cases = 0, failed = 0, sampleCount = 0;

    const auto run = [&](int seq, int fault, const Case& c) {
        const CaseEnd end = runCase(c, files);
        ++cases;
        if (!end.found.empty()) {
            ++failed;
            std::string found;
            for (const auto& f : end.found) found += (found.empty() ? "" : "; ") + f;
            ClassCases& k = failures[{seq, fault, c.stopAt != kToTheEnd, found}];
            ++k.count;
            if (c.fault && c.fault->indexed) k.indexes.insert(c.index);
            if (c.stopAt != kToTheEnd) k.stops.insert(c.stopAt);
            if (c.stopAt != kToTheEnd && c.fault && c.fault->indexed)
                k.offsets.insert(c.index - c.stopAt);
        }
        return end;
    };
    const auto sampled = [&] { return sampleCount++ % every == 0; };
    // A run to the end, then a stop at each of its report indexes. A sample runs every K-th of
    // these cases, with the stop indexes of the fault-free run (`reports`).
    const auto withEndings = [&](int seq, int fault, const Case& toTheEnd, long reports,
                                 bool ranToTheEnd = false) {
        if (!ranToTheEnd) {
            if (every == 1)
                reports = run(seq, fault, toTheEnd).reports;
            else if (sampled())
                run(seq, fault, toTheEnd);
        }
        for (const int k : stopIndexes(toTheEnd, reports)) {
            if (every > 1 && !sampled()) continue;
            Case stopped = toTheEnd;
            stopped.stopAt = k;
            run(seq, fault, stopped);
        }
    };

    const auto seqs = sequences();
    for (int s = 0; s < static_cast<int>(seqs.size()); ++s) {
        const Sequence& sequence = seqs[static_cast<std::size_t>(s)];
        if (!only.empty() && only != sequence.name) continue;
        const CaseEnd clean = run(s, -1, Case{&sequence, nullptr});
        withEndings(s, -1, Case{&sequence, nullptr}, clean.reports, true);
        for (int f = 0; f < static_cast<int>(allFaults.size()); ++f) {
            const Fault& fault = allFaults[static_cast<std::size_t>(f)];
            if (fault.addsUnit && sequence.units > 1) continue;
            if (!fault.indexed) {
                withEndings(s, f, Case{&sequence, &fault}, clean.reports);
                continue;
            }
            // Report index n of the fault-free run falls on the unit whose reports it is in:
            // a bench's units are talked to one after the other.
            for (int n = 1; n <= clean.reports; ++n) {
                Case c{&sequence, &fault, n};
                c.unitIndex = n;
                while (c.unit + 1 < static_cast<int>(clean.reportsPerUnit.size()) &&
                       c.unitIndex > clean.reportsPerUnit[static_cast<std::size_t>(c.unit)])
                    c.unitIndex -=
                        static_cast<int>(clean.reportsPerUnit[static_cast<std::size_t>(c.unit++)]);
                withEndings(s, f, c, clean.reports);
            }
        }
    }

    if (!failures.empty())
        std::printf("failing classes: sequence | fault | ending | indexes | cases: found\n");
    for (const auto& [key, k] : failures) {
        const char* fault =
            key.fault < 0 ? "none" : allFaults[static_cast<std::size_t>(key.fault)].name;
        std::string where;
        if (!k.indexes.empty()) where += "fault at " + ranges(k.indexes);
        if (!k.stops.empty())
            where += std::string(where.empty() ? "" : ", ") + "stop at " + ranges(k.stops);
        // Few offsets say that the fault strikes a report the stop's own ending sends.
        if (!k.offsets.empty() && k.offsets.size() <= 3) {
            where += ", fault - stop =";
            for (const int d : k.offsets) where += " " + std::to_string(d);
        }
        std::printf("  %s | %s | %s | %s | %ld: %s\n",
                    seqs[static_cast<std::size_t>(key.sequence)].name, fault,
                    key.stopped ? "stop" : "to the end", where.empty() ? "-" : where.c_str(),
                    k.count, key.found.c_str());
    }
    std::fflush(stderr);
    std::map<std::string, long> errorLines;
    std::ifstream errors(errorLog);
    for (std::string line; std::getline(errors, line);) ++errorLines[line];
    for (const auto& [line, times] : errorLines)
        std::printf("standard error, %ld times: %s\n", times, line.c_str());
    std::printf("exploration: %ld cases, %ld failed, %zu failing classes", cases, failed,
                failures.size());
    if (every > 1) std::printf(" (a sample: every %ld-th case)", every);
    std::printf("\n");

    std::error_code ignored;
    std::filesystem::remove_all(files.folder, ignored);
    return failed == 0 ? 0 : 1;
}
