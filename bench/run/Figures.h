// What one operation costs the process: wall time, CPU time, resident memory, and the
// reports that crossed the link meanwhile. Plain C++; Linux figures from /proc and getrusage.
#pragma once

#include <chrono>
#include <functional>

namespace kavo3::bench {

// A field of /proc/self/status in KiB (VmRSS, VmHWM); -1 when it is missing.
long statusKb(const char* field);

// Starts the peak resident figure (VmHWM) afresh from the present size; false where the
// kernel does not offer it (the peak then counts from the start of the process).
bool resetPeakResident();

// User plus system time of the whole process so far.
std::chrono::microseconds processCpuTime();

struct ReportCounts {
    long out = 0;
    long in = 0;
};

struct Figures {
    double wallMs = 0;
    double cpuMs = 0;
    long startRssKb = 0;
    long peakRssKb = 0;
    bool peakSinceStart = false;  // false: the peak may be one from before start()
    ReportCounts reports;
};

// Takes the figures between start() and stop().
class Measurement {
  public:
    explicit Measurement(std::function<ReportCounts()> countReports)
        : countReports_(std::move(countReports)) {}

    void start();
    void stop();
    bool started() const { return started_; }
    bool stopped() const { return stopped_; }
    const Figures& figures() const { return figures_; }

  private:
    std::function<ReportCounts()> countReports_;
    std::chrono::steady_clock::time_point wallStart_;
    std::chrono::microseconds cpuStart_{};
    ReportCounts reportsAtStart_;
    bool started_ = false;
    bool stopped_ = false;
    Figures figures_;
};

}  // namespace kavo3::bench
