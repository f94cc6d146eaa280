// Link time of the simulated reports: each report costs a fixed time, waited out precisely.
// The time a wait overshoots is taken off the following ones, so that a run of N reports costs
// N report times plus what the host itself spends, and not the sleeps' jitter on top.
#pragma once

#include <chrono>

namespace kavo3::sim {

class ReportClock {
  public:
    using Clock = std::chrono::steady_clock;

    // `coarse`: sleeps alone, without yielding through the last stretch; late wake-ups are
    // still made up for by the following reports.
    explicit ReportClock(std::chrono::microseconds perReport, bool coarse = false)
        : perReport_(perReport), coarse_(coarse) {}

    std::chrono::microseconds perReport() const { return perReport_; }

    // One report passes the link.
    void pass();

  private:
    std::chrono::microseconds perReport_;
    bool coarse_ = false;
    Clock::duration owed_{};
};

// Sleeps to shortly before `deadline`, then yields until it has passed.
void waitUntil(ReportClock::Clock::time_point deadline);

}  // namespace kavo3::sim
