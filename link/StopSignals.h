// The one way a program of ours is asked to stop: Ctrl-C, SIGTERM, SIGHUP and SIGPIPE (on
// Windows Ctrl-C, Ctrl-Break, the console closed, logoff and shutdown) all become one stop
// request, heard between reports, so that every unit is settled before the program ends.
// Only a second Ctrl-C ends the program at once, after saying on standard error what that
// leaves behind; any other signal during the settling is noted and ignored. The handlers only
// set a flag and write to a pipe, which is all a signal handler may safely do.
#pragma once

#include <string>

namespace kavo3::link {

class StopSignals {
  public:
    // Catches the signals until destroyed; `abandonText` is written to standard error when a
    // second Ctrl-C ends the program. One instance at a time.
    explicit StopSignals(const std::string& abandonText);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool stopRequested() const;
    // The first signal caught, 0 while none.
    int signalNumber() const;
    // The shell's status for that signal: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP,
    // 141 for SIGPIPE.
    int exitStatus() const { return 128 + signalNumber(); }
    // Signals after the first that were noted and ignored.
    int ignoredSince() const;

    // Readable after each signal caught, for an event loop to wake up by; -1 on Windows.
    int wakeUpDescriptor() const;
    // Empties it again once the loop has woken up.
    void drainWakeUp() const;

    // Windows: a console closed, a logoff or a shutdown waits in its handler (within the few
    // seconds the system grants) until the program says it has settled its units.
    static void settledNow();
};

// Whether a stop was asked for in this process (false while no StopSignals is installed).
bool stopRequested();
// Stop signals heard so far, the ignored ones included.
int stopSignalsHeard();

}  // namespace kavo3::link
