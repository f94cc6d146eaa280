#include "sim/SimTransport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <thread>

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
    explicit Device(const SimOptions& options)
        : unit(options), clock(options.reportDelay), unplugged(options.unplugAfter == 0) {}

    SimulatedUnit unit;
    ReportClock clock;
    bool unplugged;
    long written = 0;
    long read = 0;
    int handles = 0;
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
    bool write(std::span<const std::uint8_t>) override {
        return info_.caps.OutputReportByteLength > 0;
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
    explicit UnitHandle(std::shared_ptr<Device> device) : device_(std::move(device)) {
        ++device_->handles;
    }
    ~UnitHandle() override { --device_->handles; }

    std::optional<HidAttributes> attributes() override {
        if (device_->unplugged) return std::nullopt;
        const SimOptions& o = device_->unit.options();
        return HidAttributes{o.vendorId, o.productId, 0x0111};
    }

    std::optional<HidCaps> capabilities() override {
        if (device_->unplugged) return std::nullopt;
        return HidCaps{SimTransport::kReportLength, SimTransport::kReportLength};
    }

    bool write(std::span<const std::uint8_t> report) override {
        Device& d = *device_;
        // The platform takes only whole output reports of the declared length.
        if (d.unplugged || report.size() != SimTransport::kReportLength) return false;
        d.clock.pass();
        if (!d.unit.receive(report)) return false;
        ++d.written;
        const int limit = d.unit.options().unplugAfter;
        if (limit >= 0 && d.written >= limit) d.unplugged = true;
        return true;
    }

    ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        Device& d = *device_;
        if (d.unit.hasAnswer()) {
            d.clock.pass();
            const Answer& a = d.unit.nextAnswer();
            std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
            if (!buffer.empty()) {
                const std::size_t n = std::min(a.size(), buffer.size() - 1);
                std::copy_n(a.begin(), n, buffer.begin() + 1);
            }
            d.unit.popAnswer();
            ++d.read;
            return ReadStatus::Report;
        }
        // Nothing to read: the whole wait passes, asleep.
        std::this_thread::sleep_for(timeout);
        if (d.unplugged) return ReadStatus::Failed;
        d.unit.lateAnswersArrive();
        return ReadStatus::Timeout;
    }

    void discardQueuedInput() override { device_->unit.discardAnswers(); }

  private:
    std::shared_ptr<Device> device_;
};

}  // namespace

SimTransport::SimTransport(SimOptions options) : device_(std::make_shared<Device>(options)) {}

SimTransport::~SimTransport() = default;

SimulatedUnit& SimTransport::unit() { return device_->unit; }
const SimulatedUnit& SimTransport::unit() const { return device_->unit; }
const SimOptions& SimTransport::options() const { return device_->unit.options(); }

std::string SimTransport::unitPath() const {
    return interfacePath(device_->unit.options().extraInterfaces);
}

void SimTransport::unplug() { device_->unplugged = true; }
bool SimTransport::unplugged() const { return device_->unplugged; }
void SimTransport::setReportDelay(std::chrono::microseconds delay) {
    device_->clock = ReportClock(delay);
}
long SimTransport::reportsWritten() const { return device_->written; }
long SimTransport::reportsRead() const { return device_->read; }
int SimTransport::openHandles() const { return device_->handles; }

std::vector<link::InterfaceEntry> SimTransport::listInterfaces() {
    std::vector<link::InterfaceEntry> out;
    const SimOptions& o = device_->unit.options();
    for (int i = 0; i < o.extraInterfaces; ++i)
        out.push_back(
            {interfacePath(i),
             kOtherDevices[static_cast<std::size_t>(i) % kOtherDevices.size()].attributes});
    if (!device_->unplugged)
        out.push_back({unitPath(), HidAttributes{o.vendorId, o.productId, 0x0111}});
    return out;
}

std::unique_ptr<link::HidHandle> SimTransport::open(const std::string& path,
                                                    link::OpenError& error) {
    const int extras = device_->unit.options().extraInterfaces;
    for (int i = 0; i < extras; ++i) {
        if (path == interfacePath(i))
            return std::make_unique<OtherHandle>(
                device_, kOtherDevices[static_cast<std::size_t>(i) % kOtherDevices.size()]);
    }
    if (path == unitPath() && !device_->unplugged) return std::make_unique<UnitHandle>(device_);
    error = link::OpenError::Failed;
    return nullptr;
}

}  // namespace kavo3::sim
