#include "link/UnitChoice.h"

#include "link/DeviceLink.h"

#ifdef _WIN32
#include <algorithm>
#include <cctype>
#endif

namespace kavo3::link {

namespace {

bool sameName(const std::string& a, const std::string& b) {
#ifdef _WIN32
    // Device paths and locations are not case-sensitive on Windows.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
#else
    return a == b;
#endif
}

}  // namespace

std::vector<UnitEntry> listUnits(Transport& transport) {
    std::vector<UnitEntry> units;
    for (const InterfaceEntry& entry : transport.listInterfaces()) {
        std::optional<HidAttributes> identity = entry.listedIdentity;
        if (!identity) {
            OpenError error = OpenError::None;
            if (auto handle = transport.open(entry.path, error)) identity = handle->attributes();
        }
        if (!identity || !isKavo3Identity(identity->VendorID, identity->ProductID)) continue;
        units.push_back({entry.path, transport.portPathOf(entry.path), *identity});
    }
    return units;
}

bool namesInterface(Transport& transport, const std::string& path, const std::string& id) {
    if (id.empty()) return false;
    if (sameName(path, id)) return true;
    const std::string port = transport.portPathOf(path);
    return !port.empty() && sameName(port, id);
}

std::vector<InterfaceEntry> ChosenUnit::listInterfaces() {
    std::vector<InterfaceEntry> chosen;
    for (InterfaceEntry& entry : all_.listInterfaces())
        if (namesInterface(all_, entry.path, id_)) chosen.push_back(std::move(entry));
    return chosen;
}

}  // namespace kavo3::link
