#include "operate/UnitRun.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "link/TickPeriod.h"

namespace kavo3::operate {

void settleWait(int ticks) { std::this_thread::sleep_for(ticks * link::tickPeriod()); }

UnitRun::~UnitRun() = default;

std::unique_ptr<UnitRun> UnitRun::create(const UnitOptions& options, OpenProblem& problem) {
    std::unique_ptr<UnitRun> run(new UnitRun);
    run->bus_ = UnitBus::create(options, problem.detail);
    if (!run->bus_) {
        problem.kind = OpenProblem::Kind::BadSimSwitches;
        return nullptr;
    }
    UnitBus& bus = *run->bus_;
    if (options.devices.size() > 1) {
        problem.kind = OpenProblem::Kind::SeveralDevices;
        return nullptr;
    }
    if (options.devices.empty() && options.writes) {
        // Which of several units a change is meant for is the user's to say, not the order
        // the system happens to list them in.
        std::vector<link::UnitEntry> units = bus.units();
        if (units.size() > 1) {
            problem.kind = OpenProblem::Kind::WhichUnit;
            problem.units = std::move(units);
            return nullptr;
        }
    }
    if (!run->openTrace(options.tracePath, problem)) return nullptr;
    if (options.devices.empty()) {
        run->openLink(bus.all(), bus.readWait());
    } else {
        run->chosen_ = options.devices.front();
        run->transport_ = std::make_unique<link::ChosenUnit>(bus.all(), run->chosen_);
        run->openLink(*run->transport_, bus.readWait());
    }
    return run;
}

std::unique_ptr<UnitRun> UnitRun::createFor(UnitBus& bus, const std::string& id,
                                            const std::string& tracePath, OpenProblem& problem) {
    std::unique_ptr<UnitRun> run(new UnitRun);
    run->chosen_ = id;
    // No trace unless asked for by name: KAVO3_TRACE is one file, not one per unit.
    if (tracePath.empty()) {
        run->trace_ = link::Trace::withoutFile();
    } else if (!run->openTrace(tracePath, problem)) {
        return nullptr;
    }
    run->transport_ = bus.forUnit(id);
    run->openLink(*run->transport_, bus.readWait());
    return run;
}

bool UnitRun::openTrace(const std::string& path, OpenProblem& problem) {
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
    problem.kind = OpenProblem::Kind::TraceNotOpened;
    problem.detail = tracePath;
    return false;
}

void UnitRun::openLink(link::Transport& transport, std::chrono::milliseconds readWait) {
    link_ = std::make_unique<link::DeviceLink>(transport, readWait, trace_.get());
}

link::Connection UnitRun::connect() {
    const link::Connection connection = link::checkConnection(*link_, settleWait);
    if (connection == link::Connection::Ready) talk_.emplace(*link_, link_->attachment());
    return connection;
}

}  // namespace kavo3::operate
