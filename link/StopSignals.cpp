#include "link/StopSignals.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <stdlib.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kavo3::link {

namespace {

volatile std::sig_atomic_t caughtSignal = 0;
volatile std::sig_atomic_t interrupts = 0;  // Ctrl-C (and Ctrl-Break) so far
volatile std::sig_atomic_t ignored = 0;
volatile std::sig_atomic_t heardInAll = 0;
char abandonMessage[640];
std::size_t abandonLength = 0;

constexpr char kIgnoredText[] =
    "\nStill settling the unit before ending; only a second Ctrl-C ends at once.\n";

void writeError(const char* text, std::size_t length) {
#ifdef _WIN32
    (void)!_write(2, text, static_cast<unsigned>(length));
#else
    (void)!::write(STDERR_FILENO, text, length);
#endif
}

#ifndef _WIN32
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
struct sigaction previous[4];
int wakeRead = -1;
int wakeWrite = -1;
#else
HANDLE settledEvent = nullptr;
#endif

// One stop signal heard: the first asks for the stop, a second Ctrl-C abandons at once, any
// other is noted and ignored.
void heard(int signalNumber, bool interrupt) {
    heardInAll = heardInAll + 1;
    if (interrupt) interrupts = interrupts + 1;
    if (interrupt && interrupts >= 2) {
        writeError(abandonMessage, abandonLength);
        _exit(128 + signalNumber);
    }
    if (caughtSignal != 0) {
        ignored = ignored + 1;
        writeError(kIgnoredText, sizeof kIgnoredText - 1);
        return;
    }
    caughtSignal = signalNumber;
}

#ifndef _WIN32
extern "C" void onStopSignal(int signalNumber) {
    const int savedErrno = errno;
    heard(signalNumber, signalNumber == SIGINT);
    const char byte = 1;
    if (wakeWrite >= 0) (void)!::write(wakeWrite, &byte, 1);
    errno = savedErrno;
}
#else
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            heard(SIGINT, true);
            return TRUE;
        case CTRL_BREAK_EVENT:
            heard(SIGBREAK, true);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the process once this returns, or after about five seconds: wait
            // for the settling within that grace; the state file holds what did not fit.
            heard(SIGTERM, false);
            if (settledEvent) WaitForSingleObject(settledEvent, 4500);
            return TRUE;
        default:
            return FALSE;
    }
}
#endif

}  // namespace

StopSignals::StopSignals(const std::string& abandonText) {
    caughtSignal = 0;
    interrupts = 0;
    ignored = 0;
    heardInAll = 0;
    abandonLength = std::min(abandonText.size(), sizeof abandonMessage);
    std::memcpy(abandonMessage, abandonText.data(), abandonLength);
#ifdef _WIN32
    settledEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead = fds[0];
        wakeWrite = fds[1];
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A reader that went (| head, a closed terminal) is a stop like the others: a write to it
    // fails instead of ending the program with the unit halfway.
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
#endif
}

StopSignals::~StopSignals() {
#ifdef _WIN32
    settledNow();
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
#else
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
#endif
}

void StopSignals::settledNow() {
#ifdef _WIN32
    if (settledEvent) SetEvent(settledEvent);
#endif
}

bool StopSignals::stopRequested() const { return caughtSignal != 0; }

int StopSignals::signalNumber() const { return caughtSignal; }

int StopSignals::ignoredSince() const { return ignored; }

int StopSignals::wakeUpDescriptor() const {
#ifdef _WIN32
    return -1;
#else
    return wakeRead;
#endif
}

void StopSignals::drainWakeUp() const {
#ifndef _WIN32
    char bytes[16];
    while (wakeRead >= 0 && ::read(wakeRead, bytes, sizeof bytes) > 0) {
    }
#endif
}

bool stopRequested() { return caughtSignal != 0; }

int stopSignalsHeard() { return heardInAll; }

}  // namespace kavo3::link
