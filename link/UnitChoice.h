// Choosing one unit where several are attached: by its node path (what the platform lists)
// or by its USB port path, which stays the same on a given hub port.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/Transport.h"

namespace kavo3::link {

struct UnitEntry {
    std::string path;      // node path, as the search lists it
    std::string portPath;  // empty where the platform does not say
    HidAttributes identity;
};

// The units among the present HID interfaces, in the search's order. An interface listed
// without an identity is opened to ask for one.
std::vector<UnitEntry> listUnits(Transport& transport);

// Whether `id` names the interface at `path`: its node path or its port path.
bool namesInterface(Transport& transport, const std::string& path, const std::string& id);

// A transport that lists only the interface that `id` names, so that the ordinary search of
// a DeviceLink over it finds that unit and no other.
class ChosenUnit : public Transport {
  public:
    ChosenUnit(Transport& all, std::string id) : all_(all), id_(std::move(id)) {}

    const std::string& id() const { return id_; }

    std::vector<InterfaceEntry> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const std::string& path, OpenError& error) override {
        return all_.open(path, error);
    }
    std::optional<long> holderOf(const std::string& path) override { return all_.holderOf(path); }
    std::string permissionHint() const override { return all_.permissionHint(); }
    std::string portPathOf(const std::string& path) override { return all_.portPathOf(path); }
    std::string serialOf(const std::string& path) override { return all_.serialOf(path); }
    bool unitsOutliveProgram() const override { return all_.unitsOutliveProgram(); }

  private:
    Transport& all_;
    std::string id_;
};

}  // namespace kavo3::link
