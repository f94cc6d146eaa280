#include "sim/SimBench.h"

#include "link/UnitChoice.h"

namespace kavo3::sim {

namespace {

constexpr std::string_view kRoot = "sim/";

}  // namespace

// One unit under the bench's names: "sim/unitK/..." for the paths and port 1.K of the hub on
// the host's port 1. A bench of one keeps the unit's own names.
class SimBench::Slot : public link::Transport {
  public:
    Slot(const SimOptions& options, int number, bool alone)
        : unit_(options),
          pathPrefix_(alone ? std::string(kRoot)
                            : std::string(kRoot) + "unit" + std::to_string(number) + "/"),
          hubPort_(alone ? "" : "." + std::to_string(number)) {}

    SimTransport& unit() { return unit_; }

    std::vector<link::InterfaceEntry> listInterfaces() override {
        std::vector<link::InterfaceEntry> entries = unit_.listInterfaces();
        for (link::InterfaceEntry& entry : entries) entry.path = outer(entry.path);
        return entries;
    }
    std::unique_ptr<link::HidHandle> open(const std::string& path,
                                          link::OpenError& error) override {
        const std::string own = inner(path);
        if (own.empty()) {
            error = link::OpenError::Failed;
            return nullptr;
        }
        return unit_.open(own, error);
    }
    std::optional<long> holderOf(const std::string& path) override {
        const std::string own = inner(path);
        return own.empty() ? std::nullopt : unit_.holderOf(own);
    }
    bool unitsOutliveProgram() const override { return unit_.unitsOutliveProgram(); }
    std::string serialOf(const std::string& path) override {
        const std::string own = inner(path);
        return own.empty() ? std::string() : unit_.serialOf(own);
    }
    std::string portPathOf(const std::string& path) override {
        const std::string own = inner(path);
        std::string port = own.empty() ? std::string() : unit_.portPathOf(own);
        // usb-sim-1/input0 becomes usb-sim-1.K/input0: the unit behind the hub's port K.
        const std::size_t slash = port.find('/');
        if (slash != std::string::npos && port.starts_with("usb-sim-1/"))
            port.insert(slash, hubPort_);
        return port;
    }
    link::UsbDescription describe(const std::string& path) override {
        const std::string own = inner(path);
        return own.empty() ? link::UsbDescription{} : unit_.describe(own);
    }

  private:
    std::string outer(const std::string& path) const {
        return pathPrefix_ + path.substr(kRoot.size());
    }
    // "" for a path that is not this slot's.
    std::string inner(const std::string& path) const {
        if (!path.starts_with(pathPrefix_)) return {};
        const std::string rest = path.substr(pathPrefix_.size());
        if (rest.find('/') != std::string::npos) return {};
        return std::string(kRoot) + rest;
    }

    SimTransport unit_;
    std::string pathPrefix_;
    std::string hubPort_;
};

SimBench::SimBench(const SimOptions& options) {
    const int count = options.units < 1 ? 1 : options.units;
    for (int i = 0; i < count; ++i) {
        SimOptions own = options;
        if (i > 0) own.extraInterfaces = 0;
        slots_.push_back(std::make_unique<Slot>(own, i + 1, count == 1));
    }
}

SimBench::SimBench(const std::vector<SimOptions>& perUnit) {
    const int count = static_cast<int>(perUnit.size());
    for (int i = 0; i < count; ++i) {
        SimOptions own = perUnit[static_cast<std::size_t>(i)];
        own.units = count;
        if (i > 0) own.extraInterfaces = 0;
        slots_.push_back(std::make_unique<Slot>(own, i + 1, count == 1));
    }
}

SimBench::~SimBench() = default;

SimTransport& SimBench::unit(int index) {
    return slots_.at(static_cast<std::size_t>(index))->unit();
}

link::Transport& SimBench::slot(int index) { return *slots_.at(static_cast<std::size_t>(index)); }

link::Transport* SimBench::slotNaming(const std::string& id) {
    for (const auto& s : slots_)
        for (const link::InterfaceEntry& entry : s->listInterfaces())
            if (link::namesInterface(*s, entry.path, id)) return s.get();
    return nullptr;
}

std::vector<link::InterfaceEntry> SimBench::listInterfaces() {
    std::vector<link::InterfaceEntry> all;
    for (const auto& s : slots_)
        for (link::InterfaceEntry& entry : s->listInterfaces()) all.push_back(std::move(entry));
    return all;
}

std::unique_ptr<link::HidHandle> SimBench::open(const std::string& path, link::OpenError& error) {
    for (const auto& s : slots_) {
        auto handle = s->open(path, error);
        if (handle || error != link::OpenError::Failed) return handle;
    }
    return nullptr;
}

std::optional<long> SimBench::holderOf(const std::string& path) {
    for (const auto& s : slots_)
        if (auto holder = s->holderOf(path)) return holder;
    return std::nullopt;
}

std::string SimBench::portPathOf(const std::string& path) {
    for (const auto& s : slots_) {
        std::string port = s->portPathOf(path);
        if (!port.empty()) return port;
    }
    return {};
}

link::UsbDescription SimBench::describe(const std::string& path) {
    for (const auto& s : slots_) {
        link::UsbDescription description = s->describe(path);
        if (!description.product.empty()) return description;
    }
    return {};
}

std::string SimBench::serialOf(const std::string& path) {
    for (const auto& s : slots_) {
        std::string serial = s->serialOf(path);
        if (!serial.empty()) return serial;
    }
    return {};
}

bool SimBench::unitsOutliveProgram() const {
    for (const auto& s : slots_)
        if (s->unitsOutliveProgram()) return true;
    return false;
}

}  // namespace kavo3::sim
