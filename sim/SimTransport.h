// A transport whose one unit is the simulated KAVO-3: the ordinary search finds it (after
// any other interfaces the options list), and reports move with the timing and the faults
// that the options ask for. Its unplugging and plugging in raise device events as the platform's
// would. One thread drives it; handles may outlive the transport.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/DeviceEvents.h"
#include "link/Transport.h"
#include "sim/SimOptions.h"
#include "sim/SimulatedUnit.h"

namespace kavo3::sim {

class SimTransport : public link::Transport, public link::DeviceEvents {
  public:
    static constexpr std::uint16_t kReportLength = 65;

    explicit SimTransport(SimOptions options = {});
    ~SimTransport() override;
    SimTransport(const SimTransport&) = delete;
    SimTransport& operator=(const SimTransport&) = delete;

    SimulatedUnit& unit();
    const SimulatedUnit& unit() const;
    const SimOptions& options() const;

    // The path the unit is listed under; each plugging in gives it another.
    std::string unitPath() const;

    // Pulls the unit out now, as a hidraw node's device leaves: its handles' writes and reads
    // say at once that it is gone, and the search no longer lists it. With replug=N it comes
    // back N ms later.
    void unplug();
    // Plugs it in again now, at another path (or the one it left), earlier handles stay gone.
    void plugBackIn(bool samePath = false);
    bool unplugged() const;
    // Its endpoint stalls (stall=N struck) until it is plugged in again.
    bool stalls() const;

    // The fault switches have had their say: from now on the unit answers in time, takes every
    // report and stays plugged in, whatever it is in the middle of (a test's "and then the
    // user saw to it").
    void endFaults();

    // Link time per report from now on.
    void setReportDelay(std::chrono::microseconds delay);

    // Reports that went over the link to the unit and back.
    long reportsWritten() const;
    long reportsRead() const;
    int openHandles() const;

    std::vector<link::InterfaceEntry> listInterfaces() override;
    std::unique_ptr<link::HidHandle> open(const std::string& path, link::OpenError& error) override;
    std::optional<long> holderOf(const std::string& path) override;
    // The unit on port 1 of the simulated host, the other interfaces on a hub on port 2.
    std::string portPathOf(const std::string& path) override;
    // Strings that say the unit is simulated, with serialOf's serial number.
    link::UsbDescription describe(const std::string& path) override;
    // Only a unit that keeps its state in a file (keep=FILE) outlives the program.
    bool unitsOutliveProgram() const override;
    // Each simulated unit is a unit of its own, and one kept in a file the same one again.
    std::string serialOf(const std::string& path) override;

    // A unit due back (replug=N) comes back at that time; receive() plugs it in once it is due.
    std::optional<Clock::time_point> nextChangeDue() const override;
    void receive() override;

    struct Device;

  private:
    std::shared_ptr<Device> device_;
};

}  // namespace kavo3::sim
