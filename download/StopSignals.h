// Ctrl-C, SIGTERM and SIGHUP (on Windows Ctrl-C and Ctrl-Break) while a download may be in its
// data phase. The first one only asks the run to stop, so that the rest of the data phase still
// goes out and the unit is not left expecting data; a second one ends the program at once,
// after saying on standard error what that leaves behind. The handlers only set a flag and
// write to a pipe, which is all a signal handler may safely do.
#pragma once

#include <string>

namespace kavo3::download {

class StopSignals {
  public:
    // Catches the signals until destroyed; `abandonText` is written to standard error when a
    // second signal ends the program. One instance at a time.
    explicit StopSignals(const std::string& abandonText);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool stopRequested() const;
    // The first signal caught, 0 while none.
    int signalNumber() const;
    // The shell's status for that signal: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP.
    int exitStatus() const { return 128 + signalNumber(); }

    // Readable after each signal caught, for an event loop to wake up by; -1 on Windows.
    int wakeUpDescriptor() const;
    // Empties it again once the loop has woken up.
    void drainWakeUp() const;
};

}  // namespace kavo3::download
