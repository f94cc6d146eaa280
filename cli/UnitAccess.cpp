#include "cli/UnitAccess.h"

#include <cstdio>

#include "cli/ExitCodes.h"

namespace kavo3::cli {

namespace {

int say(const operate::OpenProblem& problem) {
    using Kind = operate::OpenProblem::Kind;
    switch (problem.kind) {
        case Kind::BadSimSwitches:
            std::fprintf(stderr, "kavo3cli: --sim: %s\n", problem.detail.c_str());
            return kExitUsage;
        case Kind::SeveralDevices:
            std::fprintf(stderr,
                         "kavo3cli: only 'download' and 'verify' take --device more than once\n");
            return kExitUsage;
        case Kind::WhichUnit:
            std::fprintf(stderr,
                         "kavo3cli: %zu units are attached; say which one with --device (its "
                         "port path or node path), or use 'download --all':\n",
                         problem.units.size());
            for (const link::UnitEntry& unit : problem.units)
                std::fprintf(stderr, "  --device %s\n", unitName(unit).c_str());
            return kExitUsage;
        case Kind::TraceNotOpened:
            std::fprintf(stderr, "kavo3cli: cannot open the trace file %s for appending\n",
                         problem.detail.c_str());
            return kExitFailure;
        case Kind::None:
            break;
    }
    return kExitOk;
}

}  // namespace

std::unique_ptr<UnitBus> createBus(const UnitOptions& options, int& exitCode) {
    operate::OpenProblem problem;
    auto bus = UnitBus::create(options, problem.detail);
    if (!bus) problem.kind = operate::OpenProblem::Kind::BadSimSwitches;
    exitCode = say(problem);
    return bus;
}

std::unique_ptr<UnitRun> createUnit(const UnitOptions& options, int& exitCode) {
    operate::OpenProblem problem;
    auto unit = UnitRun::create(options, problem);
    exitCode = say(problem);
    return unit;
}

std::unique_ptr<UnitRun> createUnitFor(UnitBus& bus, const std::string& id,
                                       const std::string& tracePath, int& exitCode) {
    operate::OpenProblem problem;
    auto unit = UnitRun::createFor(bus, id, tracePath, problem);
    exitCode = say(problem);
    return unit;
}

bool connect(UnitRun& unit) {
    switch (unit.connect()) {
        case link::Connection::Ready:
            return true;
        case link::Connection::Silent:
            std::fprintf(stderr,
                         "kavo3cli: the KAVO-3 at %s does not answer. Check that it is switched "
                         "on, then unplug it and plug it in again.\n",
                         unit.link().DevicePath().c_str());
            return false;
        case link::Connection::NotFound:
            break;
    }
    if (!unit.chosen().empty() && unit.link().unitProblem().empty()) {
        std::fprintf(stderr,
                     "kavo3cli: no KAVO-3 at %s. 'kavo3cli list' lists the units attached, "
                     "by port path and node path.\n",
                     unit.chosen().c_str());
        return false;
    }
    if (unit.link().unitProblem().empty()) {
        std::fprintf(stderr,
                     "kavo3cli: no KAVO-3 found. Check the USB cable and the unit's power; "
                     "'kavo3cli status --list' shows every HID interface examined.\n");
    }
    // Otherwise the link has already said that the unit may not be opened, and how to fix it.
    return false;
}

std::unique_ptr<UnitRun> openUnit(const UnitOptions& options, int& exitCode) {
    auto unit = createUnit(options, exitCode);
    if (unit && !connect(*unit)) {
        exitCode = kExitNoUnit;
        return nullptr;
    }
    return unit;
}

bool stayedConnected(UnitRun& unit) {
    if (unit.stayedConnected()) return true;
    if (unit.stillAttached()) {
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
