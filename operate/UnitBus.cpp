#include "operate/UnitBus.h"

#include "link/PlatformTransport.h"
#include "sim/SimBench.h"
#include "sim/SimOptions.h"

namespace kavo3::operate {

namespace {

// A choice that owns the transport it chooses from.
class OwnChoice : public link::ChosenUnit {
  public:
    OwnChoice(std::unique_ptr<link::Transport> all, const std::string& id)
        : link::ChosenUnit(*all, id), all_(std::move(all)) {}

  private:
    std::unique_ptr<link::Transport> all_;
};

}  // namespace

std::unique_ptr<UnitBus> UnitBus::create(const UnitOptions& options, std::string& error) {
    std::unique_ptr<UnitBus> bus(new UnitBus);
    bus->simulated_ = options.simulated;
    if (options.simulated) {
        const auto parsed = sim::parseSimSwitches(options.simSwitches, error);
        if (!parsed) return nullptr;
        if (parsed->hostReadWait) bus->readWait_ = *parsed->hostReadWait;
        auto bench = std::make_unique<sim::SimBench>(*parsed);
        bus->bench_ = bench.get();
        bus->all_ = std::move(bench);
    } else {
        bus->all_ = std::make_unique<link::PlatformTransport>();
    }
    return bus;
}

UnitBus::~UnitBus() = default;

std::unique_ptr<link::Transport> UnitBus::forUnit(const std::string& id) {
    if (!simulated_)
        return std::make_unique<OwnChoice>(std::make_unique<link::PlatformTransport>(), id);
    // Each simulated unit's slot is touched by its own thread only.
    link::Transport* slot = bench_->slotNaming(id);
    return std::make_unique<link::ChosenUnit>(slot ? *slot : *all_, id);
}

std::string unitName(const link::UnitEntry& unit) {
    return unit.portPath.empty() ? unit.path : unit.portPath;
}

}  // namespace kavo3::operate
