#include "link/Diagnosis.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "link/ConnectionCheck.h"
#include "link/DeviceLink.h"
#include "link/TickPeriod.h"
#include "link/UnitChoice.h"

namespace kavo3::link {

namespace {

using Kind = Finding::Kind;

std::string identityText(const std::optional<HidAttributes>& identity) {
    if (!identity) return "identity not listed";
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", identity->VendorID, identity->ProductID);
    return text;
}

class Findings {
  public:
    void add(Kind kind, std::string topic, std::string text, std::string remedy = {}) {
        list.push_back({kind, std::move(topic), std::move(text), std::move(remedy)});
    }
    std::vector<Finding> list;
};

std::optional<std::string> installedRule(const std::vector<std::string>& paths) {
    std::error_code error;
    for (const std::string& path : paths)
        if (std::filesystem::exists(path, error)) return path;
    return std::nullopt;
}

// Opening, report lengths and the connection check of one unit.
void examineUnit(Transport& transport, const UnitEntry& unit, const DiagnosisSetup& setup,
                 Findings& out) {
    const std::string name = unit.path + (unit.portPath.empty() ? "" : " (" + unit.portPath + ")");
    OpenError error = OpenError::None;
    std::unique_ptr<HidHandle> handle = transport.open(unit.path, error);
    if (!handle) {
        switch (error) {
            case OpenError::NotPermitted: {
                std::string remedy = transport.permissionHint();
                if (!setup.udevRulePaths.empty()) {
                    const auto rule = installedRule(setup.udevRulePaths);
                    out.add(rule ? Kind::Ok : Kind::Problem, "udev rule",
                            rule ? "installed at " + *rule : "70-kavo3.rules is not installed",
                            rule ? "" : remedy);
                    if (rule)
                        remedy =
                            "The rule is installed but has not been applied to this unit: "
                            "run 'sudo udevadm control --reload', then unplug the unit and "
                            "plug it in again.";
                }
                out.add(Kind::Problem, "permission", name + " may not be opened by this user",
                        remedy);
                return;
            }
            case OpenError::Busy: {
                const auto holder = transport.holderOf(unit.path);
                out.add(Kind::Problem, "busy",
                        name + " is held by another program" +
                            (holder ? " (process " + std::to_string(*holder) + ")" : ""),
                        "Close the other program (kavo3tool, kavo3cli or kavo3tool-demo) that "
                        "uses this unit, or choose another unit with --device.");
                return;
            }
            case OpenError::None:
            case OpenError::Failed:
                break;
        }
        out.add(Kind::Problem, "open", name + " cannot be opened",
                "Unplug the unit and plug it in again; if that does not help, try another USB "
                "port or cable.");
        return;
    }
    out.add(Kind::Ok, "permission", name + " can be opened for reading and writing");

    const std::optional<HidCaps> caps = handle->capabilities();
    if (!caps) {
        out.add(Kind::Problem, "reports", name + ": its report lengths cannot be read",
                "Unplug the unit and plug it in again; its firmware may not have started.");
        return;
    }
    const std::string lengths = "output " + std::to_string(caps->OutputReportByteLength) +
                                " bytes, input " + std::to_string(caps->InputReportByteLength) +
                                " bytes";
    if (caps->OutputReportByteLength < kMinOutputReportLength ||
        caps->InputReportByteLength < kMinInputReportLength) {
        out.add(Kind::Problem, "reports", name + ": reports too short (" + lengths + ")",
                "The unit needs output reports of at least 9 bytes and input reports of at "
                "least 65 bytes; it runs other firmware, which must be replaced.");
        return;
    }
    out.add(Kind::Ok, "reports", name + ": " + lengths);
    handle.reset();

    ChosenUnit only(transport, unit.path);
    DeviceLink link(only, setup.readWait);
    switch (checkConnection(link, setup.settleWait)) {
        case Connection::Ready:
            out.add(Kind::Ok, "answer", name + " answers the connection check");
            return;
        case Connection::Silent:
            out.add(Kind::Problem, "answer",
                    name + " does not answer the connection check (no answer, or only zeros)",
                    "Check that the unit is switched on, then unplug it and plug it in again.");
            return;
        case Connection::NotFound:
            out.add(Kind::Problem, "answer", name + " went away during the check",
                    "Check the USB cable; unplug the unit and plug it in again.");
            return;
    }
}

}  // namespace

std::vector<std::string> standardUdevRulePaths() {
    return {"/etc/udev/rules.d/70-kavo3.rules", "/usr/lib/udev/rules.d/70-kavo3.rules",
            "/lib/udev/rules.d/70-kavo3.rules", "/usr/local/lib/udev/rules.d/70-kavo3.rules"};
}

std::vector<Finding> diagnose(Transport& transport, const DiagnosisSetup& setup) {
    Findings out;
    const std::vector<InterfaceEntry> interfaces = transport.listInterfaces();
    if (interfaces.empty()) {
        out.add(Kind::Problem, "interfaces", "no HID interface at all",
                "Plug the unit in; if it is plugged in, the system does not see it as a HID "
                "device: try another USB port or cable.");
    } else {
        std::string seen = std::to_string(interfaces.size()) + " HID interface(s):";
        for (const InterfaceEntry& entry : interfaces)
            seen += " " + entry.path + " " + identityText(entry.listedIdentity) + ";";
        seen.pop_back();
        out.add(Kind::Ok, "interfaces", seen);
    }

    std::vector<UnitEntry> units = listUnits(transport);
    if (!setup.chosen.empty()) {
        std::vector<UnitEntry> named;
        for (const UnitEntry& unit : units)
            if (namesInterface(transport, unit.path, setup.chosen)) named.push_back(unit);
        if (named.empty())
            out.add(Kind::Problem, "units", "no KAVO-3 at " + setup.chosen,
                    "Give a port path or node path that 'kavo3cli status --list' shows.");
        units = named;
    } else if (units.empty() && !interfaces.empty()) {
        out.add(Kind::Problem, "units",
                "none of them is a KAVO-3 (17a7:0001, 17a7:0002 or 04d8:0000)",
                "Check the unit's USB cable and power; a cable that only charges carries no "
                "data.");
    } else if (units.size() > 1) {
        out.add(Kind::Note, "units", std::to_string(units.size()) + " units attached",
                "Name one with --device (port path or node path) for commands that change "
                "it, or program all with 'download --all'.");
    } else if (units.size() == 1) {
        out.add(Kind::Ok, "units", "one KAVO-3, " + identityText(units.front().identity));
    }
    for (const UnitEntry& unit : units) examineUnit(transport, unit, setup, out);

    out.add(Kind::Note, "tick",
            "settle waits count ticks of " + std::to_string(tickPeriod().count()) +
                " ms (KAVO3_TICK_MS, --tick-ms)",
            "A unit that answers but fails erases or timing loads may need 16: --tick-ms 16.");
    return out.list;
}

bool unitWouldWork(const std::vector<Finding>& findings) {
    for (const Finding& finding : findings)
        if (finding.kind == Finding::Kind::Problem) return false;
    return true;
}

}  // namespace kavo3::link
