#include "bench/run/Figures.h"

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace kavo3::bench {

long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::size_t length = std::strlen(field);
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
            return std::strtol(line.c_str() + length + 1, nullptr, 10);
    }
    return -1;
}

bool resetPeakResident() {
    // "5" resets the peak resident set size to the present one (Linux 4.0 and later).
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
    clearRefs.flush();
    return clearRefs.good();
}

std::chrono::microseconds processCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto micros = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}

void Measurement::start() {
    started_ = true;
    figures_.startRssKb = statusKb("VmRSS");
    figures_.peakSinceStart = resetPeakResident();
    reportsAtStart_ = countReports_();
    cpuStart_ = processCpuTime();
    wallStart_ = std::chrono::steady_clock::now();
}

void Measurement::stop() {
    const auto wallEnd = std::chrono::steady_clock::now();
    const auto cpuEnd = processCpuTime();
    stopped_ = true;
    const ReportCounts now = countReports_();
    figures_.wallMs = std::chrono::duration<double, std::milli>(wallEnd - wallStart_).count();
    figures_.cpuMs = std::chrono::duration<double, std::milli>(cpuEnd - cpuStart_).count();
    figures_.peakRssKb = statusKb("VmHWM");
    figures_.reports = {now.out - reportsAtStart_.out, now.in - reportsAtStart_.in};
}

}  // namespace kavo3::bench
