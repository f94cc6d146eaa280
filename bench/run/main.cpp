// kavo3bench-run <operation> [--sim=SWITCHES] [--bytes=N] [--count=N]; --list names them.
// Runs one whole operation in the program's windows, offscreen, against the simulated unit
// and prints one line of figures. One operation per process, so that the peak resident
// memory is that operation's.
#include <QApplication>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/run/Operations.h"
#include "sim/SimOptions.h"

namespace {

using namespace kavo3;

int usage() {
    std::fprintf(stderr,
                 "usage: kavo3bench-run <operation> [--sim=SWITCHES] [--bytes=N] [--count=N]\n"
                 "operations:\n");
    for (const bench::Operation& op : bench::operations())
        std::fprintf(stderr, "  %-12s %s\n", op.name, op.about);
    return 2;
}

bool parseCount(std::string_view text, long& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

double mb(long kb) { return static_cast<double>(kb) / 1024.0; }

void printFigures(const char* operation, const std::string& simText,
                  const bench::Figures& f, std::chrono::microseconds reportDelay) {
    const long reports = f.reports.out + f.reports.in;
    const double linkMs =
        static_cast<double>(reports) * std::chrono::duration<double, std::milli>(reportDelay).count();
    std::printf(
        "operation=%s sim=%s wall_ms=%.3f cpu_ms=%.3f start_rss_mb=%.1f peak_rss_mb=%.1f "
        "peak_since_start=%d reports_out=%ld reports_in=%ld reports_per_s=%.0f link_ms=%.1f",
        operation, simText.empty() ? "-" : simText.c_str(), f.wallMs, f.cpuMs, mb(f.startRssKb),
        mb(f.peakRssKb), f.peakSinceStart ? 1 : 0, f.reports.out, f.reports.in,
        f.wallMs > 0 ? static_cast<double>(reports) * 1000.0 / f.wallMs : 0.0, linkMs);
    if (linkMs > 0)
        std::printf(" link_ratio=%.4f", f.wallMs / linkMs);
    else
        std::printf(" link_ratio=-");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string name = argv[1];
    const auto all = bench::operations();
    if (name == "--list") {
        for (const auto& op : all) std::printf("%s\n", op.name);
        return 0;
    }
    const bench::Operation* operation = nullptr;
    for (const auto& op : all)
        if (name == op.name) operation = &op;
    if (!operation) return usage();

    bench::Arguments arguments;
    std::string simText;
    for (int i = 2; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a.starts_with("--sim=")) {
            simText = a.substr(6);
        } else if (a.starts_with("--bytes=")) {
            if (!parseCount(a.substr(8), arguments.bytes)) return usage();
        } else if (a.starts_with("--count=")) {
            if (!parseCount(a.substr(8), arguments.count)) return usage();
        } else {
            return usage();
        }
    }
    std::string error;
    const auto options = sim::parseSimSwitches(simText, error);
    if (!options) {
        std::fprintf(stderr, "kavo3bench-run: --sim: %s\n", error.c_str());
        return 2;
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    bench::Rig rig(*options);
    if (!rig.link.DeviceFound()) {
        std::fprintf(stderr, "kavo3bench-run: the simulated unit was not found\n");
        return 1;
    }
    bench::Measurement measurement([&rig] { return rig.reports(); });
    std::string problem;
    const bool done = operation->run(rig, arguments, measurement, problem);
    if (!measurement.stopped()) {
        if (problem.empty()) problem = "the operation took no measurement";
    } else if (rig.programEnded) {
        problem = "the program was asked to end";
    }
    if (!done || !problem.empty()) {
        std::fprintf(stderr, "kavo3bench-run: %s: %s\n", operation->name, problem.c_str());
        return 1;
    }
    printFigures(operation->name, simText, measurement.figures(), options->reportDelay);
    return 0;
}
