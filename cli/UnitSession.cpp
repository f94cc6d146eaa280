#include "cli/UnitSession.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "cli/ExitCodes.h"
#include "link/ConnectionCheck.h"
#include "link/TickPeriod.h"
#include "sim/SimOptions.h"
#include "sim/SimTransport.h"

#ifdef _WIN32
#include "link/windows/WinHidTransport.h"
using PlatformTransport = kavo3::link::windows::WinHidTransport;
#else
#include "link/linux/HidrawTransport.h"
using PlatformTransport = kavo3::link::HidrawTransport;
#endif

namespace kavo3::cli {

void settleWait(int ticks) { std::this_thread::sleep_for(ticks * link::tickPeriod()); }

std::unique_ptr<UnitSession> UnitSession::create(const UnitOptions& options, int& exitCode) {
    std::unique_ptr<UnitSession> session(new UnitSession);
    if (options.simulated) {
        std::string error;
        const auto parsed = sim::parseSimSwitches(options.simSwitches, error);
        if (!parsed) {
            std::fprintf(stderr, "kavo3cli: --sim: %s\n", error.c_str());
            exitCode = kExitUsage;
            return nullptr;
        }
        session->transport_ = std::make_unique<sim::SimTransport>(*parsed);
    } else {
        session->transport_ = std::make_unique<PlatformTransport>();
    }

    std::string tracePath = options.tracePath;
    if (tracePath.empty()) {
        if (const char* fromEnvironment = std::getenv("KAVO3_TRACE")) tracePath = fromEnvironment;
    }
    if (tracePath.empty()) {
        session->trace_ = link::Trace::withoutFile();
    } else {
        session->trace_ = link::Trace::open(tracePath);
        if (!session->trace_) {
            std::fprintf(stderr, "kavo3cli: cannot open the trace file %s for appending\n",
                         tracePath.c_str());
            exitCode = kExitFailure;
            return nullptr;
        }
    }
    session->link_ = std::make_unique<link::DeviceLink>(
        *session->transport_, link::DeviceLink::kReadWait, session->trace_.get());
    exitCode = kExitOk;
    return session;
}

bool UnitSession::connect() {
    switch (link::checkConnection(*link_, settleWait)) {
        case link::Connection::Ready:
            return true;
        case link::Connection::Silent:
            std::fprintf(stderr,
                         "kavo3cli: the KAVO-3 at %s does not answer. Check that it is switched "
                         "on, then unplug it and plug it in again.\n",
                         link_->DevicePath().c_str());
            return false;
        case link::Connection::NotFound:
            break;
    }
    if (link_->unitProblem().empty()) {
        std::fprintf(stderr,
                     "kavo3cli: no KAVO-3 found. Check the USB cable and the unit's power; "
                     "'kavo3cli status --list' shows every HID interface examined.\n");
    }
    // Otherwise the link has already said that the unit may not be opened, and how to fix it.
    return false;
}

bool UnitSession::stayedConnected() {
    if (link_->DeviceFound()) return true;
    std::fprintf(stderr,
                 "kavo3cli: the unit went away during the run; what it was sent may not have "
                 "arrived and nothing it gave back is used. Plug it in again and repeat.\n");
    return false;
}

}  // namespace kavo3::cli
