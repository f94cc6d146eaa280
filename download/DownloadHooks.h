// The download's callbacks, built in one place for every front end: what it shows, and the
// pace and stop of the program it runs in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "download/DownloadSequence.h"

namespace kavo3::download {

// What a front end shows of a download; any may stay empty.
struct DownloadView {
    std::function<void(const std::string&)> status;
    std::function<void(std::uint32_t offset)> progress;
    std::function<void(std::uint32_t reportsOwed)> padding;
};

// How the program paces and stops a run: the windows give their event loop, clock and ending
// flag; a program without windows has none of the first, sleeps its settle waits and stops on
// the stop signals (operate::terminalPace).
struct DownloadPace {
    std::function<void()> processEvents;
    std::function<void(int ticks)> settleWait;
    std::function<bool()> stopRequested;
};

DownloadCallbacks downloadCallbacks(DownloadView view, DownloadPace pace);

}  // namespace kavo3::download
