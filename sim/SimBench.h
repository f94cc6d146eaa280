// Several simulated units on one bench (units=N), as on a hub: each its own SimTransport,
// with its own flash and link pace, listed together under paths and ports of their own.
// Each unit may be driven from a thread of its own through its slot; the bench as a whole
// is listed from one thread while no unit runs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/Transport.h"
#include "sim/SimOptions.h"
#include "sim/SimTransport.h"

namespace kavo3::sim {

class SimBench : public link::Transport {
  public:
    // options.units units; other interfaces (extra=N) are listed once, before the first unit.
    explicit SimBench(const SimOptions& options);
    // One unit for each options, in order; each keeps its own switches (a fault on one unit
    // alone). Other interfaces come from the first.
    explicit SimBench(const std::vector<SimOptions>& perUnit);
    ~SimBench() override;

    int size() const { return static_cast<int>(slots_.size()); }
    SimTransport& unit(int index);
    // The transport of unit `index` alone, under the bench's names for it.
    link::Transport& slot(int index);
    // The slot whose interfaces include the one `id` names (node or port path); nullptr if none.
    link::Transport* slotNaming(const std::string& id);

    std::vector<link::InterfaceEntry> listInterfaces() override;
    std::unique_ptr<link::HidHandle> open(const std::string& path, link::OpenError& error) override;
    std::optional<long> holderOf(const std::string& path) override;
    std::string portPathOf(const std::string& path) override;
    link::UsbDescription describe(const std::string& path) override;
    bool unitsOutliveProgram() const override;
    std::string serialOf(const std::string& path) override;

    class Slot;

  private:
    std::vector<std::unique_ptr<Slot>> slots_;
};

}  // namespace kavo3::sim
