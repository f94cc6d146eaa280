// The unit a subcommand talks to: the simulated one (--sim) or the real one on USB, with the
// wire trace (--trace) and the device link over them.
#pragma once

#include <memory>
#include <string>

#include "link/DeviceLink.h"
#include "link/Trace.h"
#include "link/Transport.h"

namespace kavo3::cli {

struct UnitOptions {
    bool simulated = false;
    std::string simSwitches;  // KAVO3_SIM's switches
    std::string tracePath;    // empty: KAVO3_TRACE, if set
};

class UnitSession {
  public:
    // Sets up the transport and the trace; on failure says why on standard error and
    // leaves `exitCode` set (bad switches are a usage error).
    static std::unique_ptr<UnitSession> create(const UnitOptions& options, int& exitCode);

    link::DeviceLink& link() { return *link_; }
    link::Trace& trace() { return *trace_; }

    // Search and connection check; on failure says why on standard error and returns false.
    bool connect();

    // After a run: false, with a message, when the unit went away meanwhile, so that what it
    // was sent or gave back is not taken for done.
    bool stayedConnected();

  private:
    UnitSession() = default;

    std::unique_ptr<link::Transport> transport_;
    std::unique_ptr<link::Trace> trace_;  // always present; writes a file only when asked to
    std::unique_ptr<link::DeviceLink> link_;
};

// The settle wait of n ticks (1 ms each unless --tick-ms or KAVO3_TICK_MS say otherwise):
// without windows there is nothing to let run.
void settleWait(int ticks);

}  // namespace kavo3::cli
