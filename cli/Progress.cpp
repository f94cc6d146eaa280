#include "cli/Progress.h"

#include <algorithm>

#include "cli/Output.h"

namespace kavo3::cli {

namespace {
// A terminal is redrawn at most ten times a second.
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr int kBarWidth = 30;
}  // namespace

bool progressShown() { return stderrIsTerminal() && !outputMode().quiet; }

Progress::Progress(std::string label, std::uint64_t total, Unit unit, bool terminal)
    : label_(std::move(label)),
      total_(std::max<std::uint64_t>(total, 1)),
      unit_(unit),
      terminal_(terminal) {}

std::string Progress::rateText(double perSecond) const {
    char text[32];
    if (unit_ == Unit::Lines)
        std::snprintf(text, sizeof text, "%.0f lines/s", perSecond);
    else
        std::snprintf(text, sizeof text, "%.1f KiB/s", perSecond / 1024);
    return text;
}

void Progress::show(std::uint64_t done) {
    if (finished_) return;
    done = std::min(done, total_);
    const auto now = std::chrono::steady_clock::now();
    // The rate counts from the first step, not from the set-up before it.
    if (!started_) {
        started_ = true;
        start_ = now;
    }
    const double seconds = std::chrono::duration<double>(now - start_).count();
    // Ask the clock again only after a few more steps; a step can be a single report.
    nextCheck_ = done + std::max<std::uint64_t>(total_ / 1000, 1);
    if (drawn_ && now - lastDrawn_ < kRedrawInterval && done < total_) return;
    lastDrawn_ = now;
    drawBar(done, seconds);
}

void Progress::drawBar(std::uint64_t done, double seconds) {
    const double fraction = static_cast<double>(done) / static_cast<double>(total_);
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    char left[32] = "";
    if (rate > 0 && done < total_) {
        const auto remaining = static_cast<long>(static_cast<double>(total_ - done) / rate + 0.5);
        std::snprintf(left, sizeof left, "%ld:%02ld left", remaining / 60, remaining % 60);
    }
    std::fprintf(stderr, "\r%s [%s] %3d %%  %s  %-12s", label_.c_str(), bar.c_str(),
                 static_cast<int>(fraction * 100), rateText(rate).c_str(), left);
    std::fflush(stderr);
    drawn_ = true;
    drawnDone_ = done;
}

void Progress::finish() {
    if (finished_) return;
    if (terminal_ && drawn_) {
        // The last steps may have come faster than the redraws: the bar ends where the work
        // did, at 100 % when it is all done.
        const std::uint64_t done = std::min(done_, total_);
        if (done != drawnDone_)
            drawBar(done, std::chrono::duration<double>(std::chrono::steady_clock::now() - start_)
                              .count());
        std::fprintf(stderr, "\n");
        std::fflush(stderr);
    }
    finished_ = true;
}

}  // namespace kavo3::cli
