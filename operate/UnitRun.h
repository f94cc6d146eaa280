// One run's hold on one unit: the wire trace, the device link over the unit's transport, the
// settle wait and the attachment the connection check answered on. The front end says in its
// own words what went wrong; this only finds it out.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/ConnectionCheck.h"
#include "link/Conversation.h"
#include "link/DeviceLink.h"
#include "link/Trace.h"
#include "link/Transport.h"
#include "operate/UnitBus.h"

namespace kavo3::operate {

// Why a run got no link to set up.
struct OpenProblem {
    enum class Kind {
        None,
        BadSimSwitches,   // `detail`: what is wrong with them
        SeveralDevices,   // --device more than once, for a run of one unit
        WhichUnit,        // a change with several units attached: `units` lists them
        TraceNotOpened,   // `detail`: the trace file's path
    };
    Kind kind = Kind::None;
    std::string detail;
    std::vector<link::UnitEntry> units;
};

class UnitRun {
  public:
    // The unit `options` choose, with the trace it asks for; null, with `problem`, otherwise.
    static std::unique_ptr<UnitRun> create(const UnitOptions& options, OpenProblem& problem);
    // The unit `id` names among `bus`'s, for a run on a thread of its own; `tracePath` empty
    // for no trace.
    static std::unique_ptr<UnitRun> createFor(UnitBus& bus, const std::string& id,
                                              const std::string& tracePath, OpenProblem& problem);

    ~UnitRun();

    link::DeviceLink& link() { return *link_; }
    link::Trace& trace() { return *trace_; }
    // What the options named the unit by; empty for the first unit found.
    const std::string& chosen() const { return chosen_; }

    // Search and connection check; Ready leaves talk() set.
    link::Connection connect();

    // The run's one attachment, the one the connection check answered on; everything of the
    // run goes to it. Only after connect() was Ready.
    link::Conversation& talk() { return *talk_; }

    // After a run, or a step whose answers decide what comes next: whether every report of
    // the run was taken and answered by that attachment, so that what it gave back counts.
    bool stayedConnected() const { return talk_ && talk_->whole(); }
    // When it did not: whether the attachment is still there (the unit fell silent or refused)
    // rather than gone.
    bool stillAttached() const { return talk_ && talk_->live(); }

  private:
    UnitRun() = default;

    bool openTrace(const std::string& path, OpenProblem& problem);
    void openLink(link::Transport& transport, std::chrono::milliseconds readWait);

    std::unique_ptr<UnitBus> bus_;  // when the run has the units to itself
    std::unique_ptr<link::Transport> transport_;
    std::string chosen_;
    std::unique_ptr<link::Trace> trace_;  // always present; writes a file only when asked to
    std::unique_ptr<link::DeviceLink> link_;
    std::optional<link::Conversation> talk_;
};

// The settle wait of n ticks (1 ms each unless --tick-ms or KAVO3_TICK_MS say otherwise):
// without windows there is nothing to let run.
void settleWait(int ticks);

}  // namespace kavo3::operate
