// The device events of every unit on a simulated bench, under the names the bench lists them
// by, so that the demo's main window hears each of its units arrive and leave.
#pragma once

#include <string>
#include <vector>

#include "link/DeviceEvents.h"
#include "sim/SimBench.h"

namespace kavo3::app {

class SimBenchEvents : public link::DeviceEvents {
  public:
    explicit SimBenchEvents(sim::SimBench& bench);
    ~SimBenchEvents() override;
    SimBenchEvents(const SimBenchEvents&) = delete;
    SimBenchEvents& operator=(const SimBenchEvents&) = delete;

    std::optional<Clock::time_point> nextChangeDue() const override;
    void receive() override;

  private:
    void forward(int index, link::DeviceEvent event);
    std::string listedPath(int index);

    sim::SimBench& bench_;
    // Each unit's path on the bench as last listed: a unit that has left is listed no more.
    std::vector<std::string> paths_;
};

}  // namespace kavo3::app
