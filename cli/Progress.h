// Progress of a long run on standard error: a bar redrawn in place on a terminal (percent,
// rate, time left) that ends at 100 % when the work is done; nothing at all off a terminal or
// with --quiet, so that logs and pipes get only what was found.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kavo3::cli {

// Whether a bar is drawn: standard error is a terminal and --quiet was not given.
bool progressShown();

class Progress {
  public:
    enum class Unit { Bytes, Lines };

    Progress(std::string label, std::uint64_t total, Unit unit, bool terminal = progressShown());

    // Called for every step, so it costs little unless something is shown.
    void update(std::uint64_t done) {
        done_ = done;
        if (terminal_ && done >= nextCheck_) show(done);
    }
    // Ends the bar's line, drawn once more as far as the work got; nothing more is drawn.
    void finish();

  private:
    void show(std::uint64_t done);
    void drawBar(std::uint64_t done, double seconds);
    std::string rateText(double perSecond) const;

    std::string label_;
    std::uint64_t total_;
    Unit unit_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDrawn_{};
    std::uint64_t nextCheck_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t drawnDone_ = 0;
    bool started_ = false;
    bool drawn_ = false;
    bool finished_ = false;
};

}  // namespace kavo3::cli
