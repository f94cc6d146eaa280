#include "sim/ReportClock.h"

#include <algorithm>
#include <thread>

namespace kavo3::sim {
namespace {

// Sleeps wake this much late at worst on an idle Linux machine (the default timer slack is
// 50 us); the last stretch is waited out by yielding.
constexpr std::chrono::microseconds kSleepMargin{120};

// More lateness than this is not made up for: the machine was too busy to keep any pace.
constexpr std::chrono::milliseconds kMaxOwed{50};

}  // namespace

void waitUntil(ReportClock::Clock::time_point deadline) {
    const auto now = ReportClock::Clock::now();
    if (deadline - now > kSleepMargin) std::this_thread::sleep_until(deadline - kSleepMargin);
    while (ReportClock::Clock::now() < deadline) std::this_thread::yield();
}

void ReportClock::pass() {
    if (perReport_.count() <= 0) return;
    const auto start = Clock::now();
    // Time lost to late wake-ups is owed back, at most one report time per report, so that
    // preemption on a busy machine does not add up.
    const auto credit = std::min<Clock::duration>(owed_, perReport_);
    owed_ -= credit;
    const auto deadline = start + perReport_ - credit;
    if (coarse_)
        std::this_thread::sleep_until(deadline);
    else
        waitUntil(deadline);
    owed_ = std::min<Clock::duration>(owed_ + (Clock::now() - deadline), kMaxOwed);
}

}  // namespace kavo3::sim
