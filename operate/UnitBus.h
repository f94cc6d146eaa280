// Where a run's units come from: USB, or the simulated bench of --sim (units=N).
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "link/Transport.h"
#include "link/UnitChoice.h"

namespace kavo3::sim {
class SimBench;
}

namespace kavo3::operate {

// How a front end chose its unit.
struct UnitOptions {
    bool simulated = false;
    std::string simSwitches;           // KAVO3_SIM's switches
    std::string tracePath;             // empty: KAVO3_TRACE, if set
    std::vector<std::string> devices;  // --device: node or port paths; none: the first unit
    // The run changes something in the unit: with several units attached it must be told
    // which.
    bool writes = true;
};

class UnitBus {
  public:
    // Null, with `error` saying why, when the switches of --sim are bad.
    static std::unique_ptr<UnitBus> create(const UnitOptions& options, std::string& error);
    ~UnitBus();

    // Every HID interface.
    link::Transport& all() { return *all_; }
    std::vector<link::UnitEntry> units() { return link::listUnits(*all_); }

    // A transport that reaches only the unit `id` names, to be driven on a thread of its own
    // while other units run on theirs.
    std::unique_ptr<link::Transport> forUnit(const std::string& id);

    // How long a read waits for an answer: the product's second, or what --sim's hostwait says.
    std::chrono::milliseconds readWait() const { return readWait_; }

  private:
    UnitBus() = default;

    bool simulated_ = false;
    std::unique_ptr<link::Transport> all_;
    sim::SimBench* bench_ = nullptr;  // all_, when simulated
    std::chrono::milliseconds readWait_ = link::DeviceLink::kReadWait;
};

// The name a unit goes by: its port path, which stays on a given hub port, or else its path.
std::string unitName(const link::UnitEntry& unit);

}  // namespace kavo3::operate
