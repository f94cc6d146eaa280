// Progress of a long run on standard output: a bar redrawn in place on a terminal (percent,
// rate, time left), or a plain line every 10 % when the output goes to a file or a pipe.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kavo3::cli {

// Whether standard output is a terminal.
bool stdoutIsTerminal();

class Progress {
  public:
    enum class Unit { Bytes, Lines };

    Progress(std::string label, std::uint64_t total, Unit unit, bool terminal = stdoutIsTerminal());

    // Called for every step, so it costs little unless something is shown.
    void update(std::uint64_t done) {
        if (done >= nextCheck_) show(done);
    }
    // Ends the bar's line; nothing more is drawn.
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
    int lastTenth_ = -1;
    bool started_ = false;
    bool drawn_ = false;
    bool finished_ = false;
};

}  // namespace kavo3::cli
