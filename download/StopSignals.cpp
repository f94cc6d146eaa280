#include "download/StopSignals.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <stdlib.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kavo3::download {

namespace {

volatile std::sig_atomic_t caughtSignal = 0;
char abandonMessage[512];
std::size_t abandonLength = 0;

#ifdef _WIN32
constexpr int kSignals[] = {SIGINT, SIGBREAK};
using Handler = void (*)(int);
Handler previous[2];
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];
struct sigaction previousPipe;
int wakeRead = -1;
int wakeWrite = -1;
#endif

extern "C" void onStopSignal(int signalNumber) {
    if (caughtSignal != 0) {
#ifdef _WIN32
        (void)!_write(2, abandonMessage, static_cast<unsigned>(abandonLength));
        _exit(128 + signalNumber);
#else
        (void)!::write(STDERR_FILENO, abandonMessage, abandonLength);
        _exit(128 + signalNumber);
#endif
    }
    caughtSignal = signalNumber;
#ifdef _WIN32
    // The C runtime resets the handling of a signal before it calls the handler.
    std::signal(signalNumber, onStopSignal);
#else
    const int savedErrno = errno;
    const char byte = 1;
    if (wakeWrite >= 0) (void)!::write(wakeWrite, &byte, 1);
    errno = savedErrno;
#endif
}

}  // namespace

StopSignals::StopSignals(const std::string& abandonText) {
    caughtSignal = 0;
    abandonLength = std::min(abandonText.size(), sizeof abandonMessage);
    std::memcpy(abandonMessage, abandonText.data(), abandonLength);
#ifdef _WIN32
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        previous[i] = std::signal(kSignals[i], onStopSignal);
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
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
    // A reader that went (Ctrl-C ends a "| tee" too) must not end the program in the middle of
    // the data phase: a write to it fails instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &previousPipe);
#endif
}

StopSignals::~StopSignals() {
#ifdef _WIN32
    for (std::size_t i = 0; i < std::size(kSignals); ++i) std::signal(kSignals[i], previous[i]);
#else
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    ::sigaction(SIGPIPE, &previousPipe, nullptr);
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
#endif
}

bool StopSignals::stopRequested() const { return caughtSignal != 0; }

int StopSignals::signalNumber() const { return caughtSignal; }

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

}  // namespace kavo3::download
