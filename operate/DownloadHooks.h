// The download's callbacks, built in one place for every front end: what it shows, and the
// pace and stop of the program it runs in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "download/DownloadSequence.h"

namespace kavo3::operate {

// What a front end shows of a download; any may stay empty.
struct DownloadView {
    std::function<void(const std::string&)> status;
    std::function<void(std::uint32_t offset)> progress;
    std::function<void(std::uint32_t reportsOwed)> padding;
};

// A program without windows: no events to let run, the settle wait slept, and the stop
// signals' request. The windows give their event loop, clock and ending flag instead.
struct DownloadPace {
    std::function<void()> processEvents;
    std::function<void(int ticks)> settleWait;
    std::function<bool()> stopRequested;
};
DownloadPace terminalPace();

download::DownloadCallbacks downloadCallbacks(DownloadView view, DownloadPace pace = terminalPace());

}  // namespace kavo3::operate
