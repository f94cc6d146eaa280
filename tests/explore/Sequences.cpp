#include "Sequences.h"

#include <array>

#include "capture/CaptureSequence.h"
#include "link/ConnectionCheck.h"
#include "link/Conversation.h"
#include "remote/RemoteKeyPress.h"
#include "timing/TimingFileIo.h"
#include "timing/TimingParameters.h"
#include "timing/TimingSequence.h"

namespace kavo3::explore {

namespace {

// Settle waits only pace a window's events; on one thread without windows they are nothing.
void noWait(int) {}

constexpr std::uint8_t kStatusKey = 1;

bool stopped(Program& p) { return p.stopRequested(); }

// The timing access as kavo3cli holds it: opened by the sequence, closed on every way out.
class OpenTiming {
  public:
    explicit OpenTiming(link::DeviceLink& link) : talk(link) {
        whole = timing::openTiming(talk, state, noWait);
    }
    ~OpenTiming() { timing::closeTiming(talk); }
    OpenTiming(const OpenTiming&) = delete;
    OpenTiming& operator=(const OpenTiming&) = delete;

    link::Conversation talk;
    timing::TimingState state;
    bool whole = false;
};

void check(Program& p) {
    if (stopped(p)) return;
    link::checkConnection(*p.links[0], noWait);
}

void timingShow(Program& p) {
    if (stopped(p)) return;
    OpenTiming timing(*p.links[0]);
}

void timingSet(Program& p) {
    if (stopped(p)) return;
    OpenTiming timing(*p.links[0]);
    // Nothing is written from a block that was not read whole from this unit.
    if (stopped(p) || !timing.talk.whole()) return;
    timing::changeParameter(timing.talk, timing.state, timing::kTimingParameters[0],
                            p.files.timingSetValue);
}

void timingLoad(Program& p) {
    if (stopped(p)) return;
    OpenTiming timing(*p.links[0]);
    if (stopped(p) || !timing.talk.whole()) return;
    timing::applyTimingFile(p.files.timingData, timing.state.TimingRegisters);
    // As kavo3cli does: a stop ends the window writes, and what was written is completed.
    const auto last =
        timing::writeLoadedWindows(timing.talk, timing.state, noWait, {}, [&p] { return stopped(p); });
    if (!last) return;
    timing::writeEnd(timing.talk, *last);
}

void timingSave(Program& p) {
    if (stopped(p)) return;
    OpenTiming timing(*p.links[0]);
    // An image read from a unit that went away holds zeros, not its registers.
    if (stopped(p) || !timing.talk.whole()) return;
    timing::saveTimingFile(p.files.timingSave, timing.state.TimingRegisters);
}

void key(Program& p) {
    if (stopped(p)) return;
    remote::pressRemoteKey(*p.links[0], kStatusKey);
}

// The capture window's freeze button pressed twice.
void freeze(Program& p) {
    if (stopped(p)) return;
    link::Conversation talk(*p.links[0]);
    capture::sendFreeze(talk, 1);
    if (stopped(p)) return;
    capture::sendFreeze(talk, 0);
}

void captureSmall(Program& p) {
    if (stopped(p)) return;
    link::Conversation talk(*p.links[0]);
    if (!capture::unitInCaptureSetting(talk)) return;
    capture::Frame frame;
    capture::CaptureCallbacks callbacks;
    callbacks.lines.stopRequested = [&p] { return p.stopRequested(); };
    capture::captureFrame(talk, 0, frame, callbacks);
}

download::DownloadCallbacks downloadCallbacks(Program& p) {
    download::DownloadCallbacks c;
    c.status = [](const std::string&) {};
    c.progress = [](std::uint32_t) {};
    c.processEvents = [] {};
    c.settleWait = noWait;
    c.stopRequested = [&p] { return p.stopRequested(); };
    return c;
}

void downloadEach(Program& p) {
    for (std::size_t i = 0; i < p.links.size(); ++i) {
        // The simulated unit's sum is ready at the first poll or never: a poll not ready ends
        // the wait at once, whatever the clock says.
        download::DownloadSequence run(*p.links[i], downloadCallbacks(p), std::chrono::milliseconds{0});
        p.downloads[i] = run.run(kDownloadAddress, p.files.download);
    }
}

constexpr std::array<Sequence, 10> kSequences{{
    {"check", 1, false, false, false, check},
    {"timing show", 1, false, false, false, timingShow},
    {"timing set", 1, false, false, false, timingSet},
    {"timing load", 1, false, false, false, timingLoad},
    {"timing save", 1, false, false, false, timingSave},
    {"key", 1, false, false, false, key},
    {"freeze on/off", 1, false, false, false, freeze},
    {"capture", 1, false, false, true, captureSmall},
    {"download", 1, false, true, false, downloadEach},
    {"download x2", 2, true, true, false, downloadEach},
}};

}  // namespace

std::span<const Sequence> sequences() { return kSequences; }

void followUp(Program& program) {
    for (auto& link : program.links) remote::pressRemoteKey(*link, kStatusKey);
}

}  // namespace kavo3::explore
