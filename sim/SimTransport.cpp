#include "sim/SimTransport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>

#include "link/StopSignals.h"
#include "sim/ReportClock.h"

namespace kavo3::sim {

using link::HidAttributes;
using link::HidCaps;
using link::ReadStatus;

namespace {

// Other HID devices a PC typically has, listed before the unit when asked for.
struct OtherDevice {
    HidAttributes attributes;
    HidCaps caps;
};
constexpr std::array<OtherDevice, 4> kOtherDevices{{
    {{0x046D, 0xC077, 0x7200}, {5, 0}},    // mouse
    {{0x046D, 0xC31C, 0x6400}, {9, 2}},    // keyboard
    {{0x04D8, 0x0001, 0x0100}, {65, 65}},  // the unit's vendor, another product
    {{0x17A7, 0x0003, 0x0100}, {65, 65}},  // an unknown product of the unit's maker
}};

std::string interfacePath(int index) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "sim/hidraw%02d", index);
    return buf;
}

}  // namespace

struct SimTransport::Device {
    using Clock = std::chrono::steady_clock;

    explicit Device(const SimOptions& options)
        : unit(options), clock(options.reportDelay, options.coarsePace) {
        // Never there: plugged in later, it stays.
        if (options.unplugAfter == 0) {
            unplugDone = true;
            unplug();
        }
        if (!options.keepFile.empty()) {
            unit.restoreKept(readWhole(options.keepFile));
            const std::string flash = readWhole(options.keepFile + ".flash");
            unit.restoreFlash(std::vector<std::uint8_t>(flash.begin(), flash.end()));
        }
    }
    ~Device() {
        const std::string& keep = unit.options().keepFile;
        if (keep.empty()) return;
        std::ofstream flash(keep + ".flash", std::ios::binary | std::ios::trunc);
        flash.write(reinterpret_cast<const char*>(unit.flash().data()),
                    static_cast<std::streamsize>(unit.flash().size()));
    }

    static std::string readWhole(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // After every report: a program killed at any point leaves the unit as it was then.
    void keepState() const {
        const std::string& keep = unit.options().keepFile;
        if (keep.empty()) return;
        std::ofstream out(keep, std::ios::trunc);
        out << unit.keptState();
    }
    // hold=N: the unit stands still on report N until the program is asked to stop, so that a
    // test stops it there and nowhere else, however busy the machine.
    void holdIfAsked() const {
        const std::vector<long>& holds = unit.options().holdAt;
        const auto at = std::find(holds.begin(), holds.end(), written);
        if (at == holds.end()) return;
        const int signals = static_cast<int>(at - holds.begin()) + 1;
        std::fprintf(stderr, "simulated unit: holding at output report %ld until stop signal %d\n",
                     written, signals);
        std::fflush(stderr);
        // Bounded, so that a test that never sends its signal still ends.
        for (int i = 0; i < 120000 && link::stopSignalsHeard() < signals; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::string unitPath() const {
        return interfacePath(unit.options().extraInterfaces + pathIndex);
    }
    void unplug() {
        if (unplugged) return;
        unplugged = true;
        const int replug = unit.options().replugAfterMs;
        if (replug >= 0) backAt = Clock::now() + std::chrono::milliseconds(replug);
        if (announce) announce({link::DeviceEvent::Kind::Left, unitPath(), std::nullopt});
    }
    void plugBackIn(bool samePath) {
        if (!unplugged) return;
        unplugged = false;
        backAt.reset();
        stalling = false;  // a new enumeration clears the endpoint
        ++plugIns;
        if (!samePath) pathIndex = plugIns;
        // Answers queued at the old node went with it.
        unit.discardAnswers();
        if (unit.options().replugRestarts) unit.restart();
        const SimOptions& o = unit.options();
        if (announce)
            announce({link::DeviceEvent::Kind::Arrived, unitPath(),
                      HidAttributes{o.vendorId, o.productId, 0x0111}});
    }
    // A unit due back is plugged in by the first look at it.
    void comeBackWhenDue() {
        if (unplugged && backAt && Clock::now() >= *backAt)
            plugBackIn(unit.options().replugSamePath);
    }
    void countWrite() {
        ++written;
        const int limit = unit.options().unplugAfter;
        if (limit >= 0 && !unplugDone && written >= limit) {
            unplugDone = true;
            unplug();
        }
    }

    SimulatedUnit unit;
    ReportClock clock;
    // Every simulated unit of the process is another unit.
    inline static std::atomic<long> made{0};
    long serial = ++made;
    bool unplugged = false;
    bool unplugDone = false;  // unplug=N pulls it out once
    std::optional<Clock::time_point> backAt;
    int plugIns = 0;    // how often it came back
    int pathIndex = 0;  // which path it is listed under: another one each time, unless asked
    long written = 0;
    long writesTried = 0;      // output reports offered to the unit, taken or not
    bool stalling = false;     // stall=N has struck since the unit was last plugged in
    bool faultsEnded = false;  // no refusal or stall from now on
    long read = 0;
    int handles = 0;
    // Raises the device events of the transport, while it exists.
    std::function<void(const link::DeviceEvent&)> announce;
};

namespace {

using Device = SimTransport::Device;

class OtherHandle : public link::HidHandle {
  public:
    OtherHandle(std::shared_ptr<Device> device, const OtherDevice& info)
        : device_(std::move(device)), info_(info) {
        ++device_->handles;
    }
    ~OtherHandle() override { --device_->handles; }

    std::optional<HidAttributes> attributes() override { return info_.attributes; }
    std::optional<HidCaps> capabilities() override { return info_.caps; }
    link::WriteStatus write(std::span<const std::uint8_t>) override {
        return info_.caps.OutputReportByteLength > 0 ? link::WriteStatus::Taken
                                                     : link::WriteStatus::Refused;
    }
    ReadStatus read(std::span<std::uint8_t>, std::chrono::milliseconds timeout) override {
        std::this_thread::sleep_for(timeout);
        return ReadStatus::Timeout;
    }
    void discardQueuedInput() override {}

  private:
    std::shared_ptr<Device> device_;
    OtherDevice info_;
};

class UnitHandle : public link::HidHandle {
  public:
    explicit UnitHandle(std::shared_ptr<Device> device)
        : device_(std::move(device)), plugIn_(device_->plugIns) {
        ++device_->handles;
    }
    ~UnitHandle() override { --device_->handles; }

    std::optional<HidAttributes> attributes() override {
        if (!present()) return std::nullopt;
        const SimOptions& o = device_->unit.options();
        return HidAttributes{o.vendorId, o.productId, 0x0111};
    }

    std::optional<HidCaps> capabilities() override {
        if (!present()) return std::nullopt;
        return HidCaps{SimTransport::kReportLength, SimTransport::kReportLength};
    }

    link::WriteStatus write(std::span<const std::uint8_t> report) override {
        Device& d = *device_;
        if (!present()) return gone(link::WriteStatus::Gone);
        // The platform takes only whole output reports of the declared length.
        if (report.size() != SimTransport::kReportLength) {
            failure_ = "the unit takes reports of 65 bytes, not " + std::to_string(report.size());
            return link::WriteStatus::Refused;
        }
        d.clock.pass();
        const link::Meant meant = meant_;
        meant_ = link::Meant::Command;
        const SimOptions& o = d.unit.options();
        ++d.writesTried;
        if (!d.faultsEnded && o.refuseWrite > 0 && d.writesTried >= o.refuseWrite &&
            d.writesTried - o.refuseWrite < o.refusals) {
            failure_ = "the unit did not take output report " + std::to_string(d.writesTried) +
                       " (refuse=" + std::to_string(o.refuseWrite) + ")";
            return link::WriteStatus::Refused;
        }
        if (!d.faultsEnded && o.stallFrom > 0 && d.writesTried == o.stallFrom) d.stalling = true;
        if (d.stalling) {
            failure_ =
                "the unit's endpoint stalls (EPIPE, stall=" + std::to_string(o.stallFrom) + ")";
            return link::WriteStatus::Stalled;
        }
        if (!d.unit.receive(report, meant, plugIn_ + 1)) {
            failure_ = "the unit took no report with this ID";
            return link::WriteStatus::Refused;
        }
        d.countWrite();
        d.keepState();
        d.holdIfAsked();
        return link::WriteStatus::Taken;
    }

    ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        Device& d = *device_;
        d.comeBackWhenDue();
        if (plugIn_ != d.plugIns) return gone(ReadStatus::Gone);
        // What was queued before the unit left is still handed over, as hidraw does.
        if (d.unit.hasAnswer()) {
            d.clock.pass();
            const Answer& a = d.unit.nextAnswer();
            std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
            if (!buffer.empty()) {
                const std::size_t n = std::min(a.size(), buffer.size() - 1);
                std::copy_n(a.begin(), n, buffer.begin() + 1);
            }
            d.unit.popAnswer(plugIn_ + 1);
            ++d.read;
            return ReadStatus::Report;
        }
        if (d.unplugged) return gone(ReadStatus::Gone);
        // Nothing to read: the whole wait passes, asleep.
        std::this_thread::sleep_for(timeout);
        d.unit.lateAnswersArrive();
        return ReadStatus::Timeout;
    }

    void discardQueuedInput() override {
        if (present()) device_->unit.discardAnswers();
    }

    void meantAs(link::Meant meant) override { meant_ = meant; }

    std::string failureText() const override { return failure_; }

  private:
    // The unit is plugged in, and it is still the plugging in that this handle opened.
    bool present() {
        device_->comeBackWhenDue();
        return !device_->unplugged && plugIn_ == device_->plugIns;
    }
    template <typename Status>
    Status gone(Status status) {
        failure_ = "the simulated unit has left (ENODEV)";
        return status;
    }

    std::shared_ptr<Device> device_;
    int plugIn_;
    std::string failure_;
    link::Meant meant_ = link::Meant::Command;
};

}  // namespace

SimTransport::SimTransport(SimOptions options) : device_(std::make_shared<Device>(options)) {
    device_->announce = [this](const link::DeviceEvent& event) { raise(event); };
}

SimTransport::~SimTransport() { device_->announce = nullptr; }

SimulatedUnit& SimTransport::unit() { return device_->unit; }
const SimulatedUnit& SimTransport::unit() const { return device_->unit; }
const SimOptions& SimTransport::options() const { return device_->unit.options(); }

std::string SimTransport::unitPath() const { return device_->unitPath(); }

void SimTransport::unplug() { device_->unplug(); }
void SimTransport::plugBackIn(bool samePath) { device_->plugBackIn(samePath); }
bool SimTransport::unplugged() const { return device_->unplugged; }
bool SimTransport::stalls() const { return device_->stalling; }
void SimTransport::endFaults() {
    device_->faultsEnded = true;
    device_->unplugDone = true;
    device_->unit.changeFaults(SimOptions{});
}
void SimTransport::setReportDelay(std::chrono::microseconds delay) {
    device_->clock = ReportClock(delay);
}
std::optional<link::DeviceEvents::Clock::time_point> SimTransport::nextChangeDue() const {
    if (!device_->unplugged) return std::nullopt;
    return device_->backAt;
}
void SimTransport::receive() { device_->comeBackWhenDue(); }
long SimTransport::reportsWritten() const { return device_->written; }
long SimTransport::reportsRead() const { return device_->read; }
int SimTransport::openHandles() const { return device_->handles; }

std::vector<link::InterfaceEntry> SimTransport::listInterfaces() {
    device_->comeBackWhenDue();
    std::vector<link::InterfaceEntry> out;
    const SimOptions& o = device_->unit.options();
    for (int i = 0; i < o.extraInterfaces; ++i)
        out.push_back({interfacePath(i),
                       kOtherDevices[static_cast<std::size_t>(i) % kOtherDevices.size()].attributes,
                       kOtherDevices[static_cast<std::size_t>(i) % kOtherDevices.size()].caps});
    if (!device_->unplugged)
        out.push_back({unitPath(), HidAttributes{o.vendorId, o.productId, 0x0111},
                       HidCaps{kReportLength, kReportLength}});
    return out;
}

std::optional<long> SimTransport::holderOf(const std::string& path) {
    const long holder = device_->unit.options().busyHolder;
    if (path != unitPath() || holder <= 0) return std::nullopt;
    return holder;
}

std::unique_ptr<link::HidHandle> SimTransport::open(const std::string& path,
                                                    link::OpenError& error) {
    device_->comeBackWhenDue();
    const int extras = device_->unit.options().extraInterfaces;
    for (int i = 0; i < extras; ++i) {
        if (path == interfacePath(i))
            return std::make_unique<OtherHandle>(
                device_, kOtherDevices[static_cast<std::size_t>(i) % kOtherDevices.size()]);
    }
    if (path == unitPath() && !device_->unplugged) {
        if (device_->unit.options().busyHolder != 0) {
            error = link::OpenError::Busy;
            return nullptr;
        }
        return std::make_unique<UnitHandle>(device_);
    }
    error = link::OpenError::Failed;
    return nullptr;
}

bool SimTransport::unitsOutliveProgram() const { return !options().keepFile.empty(); }

std::string SimTransport::serialOf(const std::string& path) {
    if (path != unitPath()) return {};
    if (!options().keepFile.empty()) return "SIM-KEPT";
    return "SIM" + std::to_string(device_->serial);
}

std::string SimTransport::portPathOf(const std::string& path) {
    if (path == unitPath()) return "usb-sim-1/input0";
    for (int i = 0; i < device_->unit.options().extraInterfaces; ++i)
        if (path == interfacePath(i)) return "usb-sim-2." + std::to_string(i + 1) + "/input0";
    return {};
}

link::UsbDescription SimTransport::describe(const std::string& path) {
    if (path != unitPath() || device_->unplugged) return {};
    link::UsbDescription description;
    description.version = 0x0111;
    description.manufacturer = "kavo3tool simulation";
    description.product = "KAVO-3 (simulated)";
    description.serial = serialOf(path);
    return description;
}

}  // namespace kavo3::sim
