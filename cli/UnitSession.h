// The unit a subcommand talks to: the simulated one (--sim) or the real one on USB, with the
// wire trace (--trace) and the device link over them.
#pragma once

#include <memory>
#include <string>
#include <vector>

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

    // After a run: false, with a message, when the unit went away meanwhile, so that what it
    // was sent or gave back is not taken for done.
    bool stayedConnected();

  private:
    UnitSession() = default;

    bool openTrace(const std::string& path, int& exitCode);
    void openLink(link::Transport& transport);

    std::unique_ptr<UnitSource> source_;  // when the session has the units to itself
    std::unique_ptr<link::Transport> transport_;
    std::string chosen_;                  // what --device named; empty: the first unit
    std::unique_ptr<link::Trace> trace_;  // always present; writes a file only when asked to
    std::unique_ptr<link::DeviceLink> link_;
};

// The settle wait of n ticks (1 ms each unless --tick-ms or KAVO3_TICK_MS say otherwise):
// without windows there is nothing to let run.
void settleWait(int ticks);

}  // namespace kavo3::cli
