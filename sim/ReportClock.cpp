#include "sim/ReportClock.h"

#include <algorithm>
#include <thread>

namespace kavo3::sim {
namespace {

// Sleeps wake this much late at worst on an idle Linux machine (the default timer slack is
// 50 us); the last stretch is waited out by yielding.
constexpr std::chrono::microseconds kSleepMargin{120};

}  // namespace

void waitUntil(ReportClock::Clock::time_point deadline) {
    const auto now = ReportClock::Clock::now();
    if (deadline - now > kSleepMargin) std::this_thread::sleep_until(deadline - kSleepMargin);
    while (ReportClock::Clock::now() < deadline) std::this_thread::yield();
}

void ReportClock::pass() {
    if (perReport_.count() <= 0) return;
    const auto start = Clock::now();
    const auto credit = std::min<Clock::duration>(overshoot_, perReport_);
    const auto deadline = start + perReport_ - credit;
    waitUntil(deadline);
    overshoot_ = Clock::now() - deadline;
}

}  // namespace kavo3::sim
