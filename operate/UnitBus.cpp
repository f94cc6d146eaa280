#include "cli/UnitSource.h"

#include <cstdio>

#include "cli/ExitCodes.h"
#include "cli/UnitSession.h"
#include "link/PlatformTransport.h"
#include "sim/SimBench.h"
#include "sim/SimOptions.h"

namespace kavo3::cli {

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

std::unique_ptr<UnitSource> UnitSource::create(const UnitOptions& options, int& exitCode) {
    std::unique_ptr<UnitSource> source(new UnitSource);
    source->simulated_ = options.simulated;
    if (options.simulated) {
        std::string error;
        const auto parsed = sim::parseSimSwitches(options.simSwitches, error);
        if (!parsed) {
            std::fprintf(stderr, "kavo3cli: --sim: %s\n", error.c_str());
            exitCode = kExitUsage;
            return nullptr;
        }
        if (parsed->hostReadWait) source->readWait_ = *parsed->hostReadWait;
        auto bench = std::make_unique<sim::SimBench>(*parsed);
        source->bench_ = bench.get();
        source->all_ = std::move(bench);
    } else {
        source->all_ = std::make_unique<link::PlatformTransport>();
    }
    exitCode = kExitOk;
    return source;
}

UnitSource::~UnitSource() = default;

std::unique_ptr<link::Transport> UnitSource::forUnit(const std::string& id) {
    if (!simulated_)
        return std::make_unique<OwnChoice>(std::make_unique<link::PlatformTransport>(), id);
    // Each simulated unit's slot is touched by its own thread only.
    link::Transport* slot = bench_->slotNaming(id);
    return std::make_unique<link::ChosenUnit>(slot ? *slot : *all_, id);
}

std::string unitName(const link::UnitEntry& unit) {
    return unit.portPath.empty() ? unit.path : unit.portPath;
}

}  // namespace kavo3::cli
