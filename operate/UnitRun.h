// The unit a subcommand talks to: the simulated one (--sim) or the real one on USB, with the
// wire trace (--trace) and the device link over them.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/Conversation.h"
#include "link/DeviceLink.h"
#include "link/Trace.h"
#include "link/Transport.h"

namespace kavo3::cli {

struct UnitOptions {
    bool simulated = false;
    std::string simSwitches;           // KAVO3_SIM's switches
    std::string tracePath;             // empty: KAVO3_TRACE, if set
    std::vector<std::string> devices;  // --device: node or port paths; none: the first unit
    // The subcommand changes something in the unit: with several units attached it must be
    // told which.
    bool writes = true;
};

class UnitSource;

class UnitSession {
  public:
    // Sets up the transport and the trace; on failure says why on standard error and
    // leaves `exitCode` set (bad switches are a usage error).
    static std::unique_ptr<UnitSession> create(const UnitOptions& options, int& exitCode);
    // The unit `id` names among `source`'s, for a run on a thread of its own; `tracePath`
    // empty for no trace.
    static std::unique_ptr<UnitSession> createFor(UnitSource& source, const std::string& id,
                                                  const std::string& tracePath, int& exitCode);

    ~UnitSession();

    link::DeviceLink& link() { return *link_; }
    link::Trace& trace() { return *trace_; }

    // Search and connection check; on failure says why on standard error and returns false.
    bool connect();

    // The run's one attachment, the one the connection check answered on; everything of the
    // run goes to it. Only after connect() succeeded.
    link::Conversation& talk() { return *talk_; }

    // After a run, or a step whose answers decide what comes next: false, with a message,
    // when any report of the run was not taken or not answered by that attachment (the unit
    // left, came back or fell silent), so that nothing it gave back is taken for done.
    bool stayedConnected();

  private:
    UnitSession() = default;

    bool openTrace(const std::string& path, int& exitCode);
    void openLink(link::Transport& transport, std::chrono::milliseconds readWait);

    std::unique_ptr<UnitSource> source_;  // when the session has the units to itself
    std::unique_ptr<link::Transport> transport_;
    std::string chosen_;                  // what --device named; empty: the first unit
    std::unique_ptr<link::Trace> trace_;  // always present; writes a file only when asked to
    std::unique_ptr<link::DeviceLink> link_;
    std::optional<link::Conversation> talk_;
};

// The settle wait of n ticks (1 ms each unless --tick-ms or KAVO3_TICK_MS say otherwise):
// without windows there is nothing to let run.
void settleWait(int ticks);

}  // namespace kavo3::cli
