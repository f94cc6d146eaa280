#include "cli/UnitSession.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "cli/ExitCodes.h"
#include "cli/UnitSource.h"
#include "link/ConnectionCheck.h"
#include "link/TickPeriod.h"

namespace kavo3::cli {

void settleWait(int ticks) { std::this_thread::sleep_for(ticks * link::tickPeriod()); }

UnitSession::~UnitSession() = default;

std::unique_ptr<UnitSession> UnitSession::create(const UnitOptions& options, int& exitCode) {
    std::unique_ptr<UnitSession> session(new UnitSession);
    session->source_ = UnitSource::create(options, exitCode);
    if (!session->source_) return nullptr;
    UnitSource& source = *session->source_;
    if (options.devices.size() > 1) {
        std::fprintf(stderr, "kavo3cli: only 'download' and 'verify' take --device more than once\n");
        exitCode = kExitUsage;
        return nullptr;
    }
    if (options.devices.empty() && options.writes) {
        // Which of several units a change is meant for is the user's to say, not the order
        // the system happens to list them in.
        const std::vector<link::UnitEntry> units = source.units();
        if (units.size() > 1) {
            std::fprintf(stderr,
                         "kavo3cli: %zu units are attached; say which one with --device (its "
                         "port path or node path), or use 'download --all':\n",
                         units.size());
            for (const link::UnitEntry& unit : units)
                std::fprintf(stderr, "  --device %s\n", unitName(unit).c_str());
            exitCode = kExitUsage;
            return nullptr;
        }
    }
    if (!session->openTrace(options.tracePath, exitCode)) return nullptr;
    if (options.devices.empty()) {
        session->openLink(source.all(), source.readWait());
    } else {
        session->chosen_ = options.devices.front();
        session->transport_ = std::make_unique<link::ChosenUnit>(source.all(), session->chosen_);
        session->openLink(*session->transport_, source.readWait());
    }
    exitCode = kExitOk;
    return session;
}

std::unique_ptr<UnitSession> UnitSession::createFor(UnitSource& source, const std::string& id,
                                                    const std::string& tracePath, int& exitCode) {
    std::unique_ptr<UnitSession> session(new UnitSession);
    session->chosen_ = id;
    // No trace unless asked for by name: KAVO3_TRACE is one file, not one per unit.
    if (tracePath.empty()) {
        session->trace_ = link::Trace::withoutFile();
    } else if (!session->openTrace(tracePath, exitCode)) {
        return nullptr;
    }
    session->transport_ = source.forUnit(id);
    session->openLink(*session->transport_, source.readWait());
    exitCode = kExitOk;
    return session;
}

bool UnitSession::openTrace(const std::string& path, int& exitCode) {
    std::string tracePath = path;
    if (tracePath.empty()) {
        if (const char* fromEnvironment = std::getenv("KAVO3_TRACE")) tracePath = fromEnvironment;
    }
    if (tracePath.empty()) {
        trace_ = link::Trace::withoutFile();
        return true;
    }
    trace_ = link::Trace::open(tracePath);
    if (trace_) return true;
    std::fprintf(stderr, "kavo3cli: cannot open the trace file %s for appending\n",
                 tracePath.c_str());
    exitCode = kExitFailure;
    return false;
}

void UnitSession::openLink(link::Transport& transport, std::chrono::milliseconds readWait) {
    link_ = std::make_unique<link::DeviceLink>(transport, readWait, trace_.get());
}

bool UnitSession::connect() {
    switch (link::checkConnection(*link_, settleWait)) {
        case link::Connection::Ready:
            talk_.emplace(*link_, link_->attachment());
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
    if (!chosen_.empty() && link_->unitProblem().empty()) {
        std::fprintf(stderr,
                     "kavo3cli: no KAVO-3 at %s. 'kavo3cli list' lists the units attached, "
                     "by port path and node path.\n",
                     chosen_.c_str());
        return false;
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
    if (talk_ && talk_->whole()) return true;
    if (talk_ && talk_->live()) {
        std::fprintf(stderr,
                     "kavo3cli: the unit did not take or did not answer a report of the run; "
                     "nothing it gave back is used. Check that it is switched on, then unplug "
                     "it and plug it in again.\n");
    } else {
        std::fprintf(stderr,
                     "kavo3cli: the unit went away during the run; what it was sent may not "
                     "have arrived and nothing it gave back is used. Plug it in again and "
                     "repeat.\n");
    }
    return false;
}

}  // namespace kavo3::cli
