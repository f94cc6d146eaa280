#include "app/SimBenchEvents.h"

#include "link/UnitChoice.h"

namespace kavo3::app {

SimBenchEvents::SimBenchEvents(sim::SimBench& bench) : bench_(bench) {
    for (int i = 0; i < bench_.size(); ++i) {
        paths_.push_back(listedPath(i));
        bench_.unit(i).setListener(
            [this, i](const link::DeviceEvent& event) { forward(i, event); });
    }
}

SimBenchEvents::~SimBenchEvents() {
    for (int i = 0; i < bench_.size(); ++i) bench_.unit(i).setListener(nullptr);
}

std::optional<link::DeviceEvents::Clock::time_point> SimBenchEvents::nextChangeDue() const {
    std::optional<Clock::time_point> first;
    for (int i = 0; i < bench_.size(); ++i) {
        const auto due = bench_.unit(i).nextChangeDue();
        if (due && (!first || *due < *first)) first = due;
    }
    return first;
}

void SimBenchEvents::receive() {
    for (int i = 0; i < bench_.size(); ++i) bench_.unit(i).receive();
}

void SimBenchEvents::forward(int index, link::DeviceEvent event) {
    const auto i = static_cast<std::size_t>(index);
    if (event.kind == link::DeviceEvent::Kind::Arrived) paths_[i] = listedPath(index);
    // A unit never listed yet keeps the name it gave itself.
    if (!paths_[i].empty()) event.path = paths_[i];
    raise(event);
}

std::string SimBenchEvents::listedPath(int index) {
    const std::vector<link::UnitEntry> units = link::listUnits(bench_.slot(index));
    return units.empty() ? std::string() : units.front().path;
}

}  // namespace kavo3::app
