// kavo3cli list: every unit the search finds, one line each, with what the USB device says of
// itself and whether another program holds it; --check asks each free one to answer.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/Subcommands.h"
#include "cli/UnitAccess.h"
#include "link/ConnectionCheck.h"
#include "link/DeviceLink.h"
#include "link/ProcessName.h"

namespace kavo3::cli {

namespace {

struct Listed {
    link::UnitEntry entry;
    link::UsbDescription usb;
    link::OpenError access = link::OpenError::None;
    std::optional<long> holder;
    std::string holderProgram;
    std::optional<link::Connection> check;
};

const char* accessWord(link::OpenError access) {
    switch (access) {
        case link::OpenError::None:
            return "free";
        case link::OpenError::Busy:
            return "in use";
        case link::OpenError::NotPermitted:
            return "not permitted";
        case link::OpenError::Failed:
            break;
    }
    return "cannot be opened";
}

const char* checkWord(link::Connection check) {
    switch (check) {
        case link::Connection::Ready:
            return "answered";
        case link::Connection::Silent:
            return "silent";
        case link::Connection::NotFound:
            break;
    }
    return "gone";
}

std::string holderText(const Listed& unit) {
    std::string text = "in use by ";
    text += unit.holderProgram.empty() ? "another program" : unit.holderProgram;
    if (unit.holder) text += " (PID " + std::to_string(*unit.holder) + ")";
    return text;
}

std::string line(const Listed& unit) {
    const auto orDash = [](const std::string& text) { return text.empty() ? "-" : text; };
    char identity[16];
    std::snprintf(identity, sizeof identity, "%04x:%04x", unit.entry.identity.VendorID,
                  unit.entry.identity.ProductID);
    std::string text = orDash(unit.entry.portPath) + "  " + unit.entry.path + "  " + identity +
                       "  " + (unit.usb.version ? "v" + releaseText(*unit.usb.version) : "v-");
    text += "  \"" + unit.usb.manufacturer + "\" \"" + unit.usb.product + "\" serial " +
            orDash(unit.usb.serial) + "  ";
    text += unit.access == link::OpenError::Busy ? holderText(unit) : accessWord(unit.access);
    if (unit.check) text += std::string(", check ") + checkWord(*unit.check);
    return text;
}

nlohmann::ordered_json json(const Listed& unit) {
    nlohmann::ordered_json out = unitJson(unit.entry, unit.usb);
    out["access"] = accessWord(unit.access);
    out["in_use"] = unit.access == link::OpenError::Busy;
    if (unit.access == link::OpenError::Busy)
        out["holder"] = {
            {"pid", unit.holder ? nlohmann::ordered_json(*unit.holder) : nullptr},
            {"program", unit.holderProgram.empty() ? nlohmann::ordered_json(nullptr)
                                                   : nlohmann::ordered_json(unit.holderProgram)}};
    else
        out["holder"] = nullptr;
    out["check"] = unit.check ? nlohmann::ordered_json(checkWord(*unit.check)) : nullptr;
    return out;
}

}  // namespace

int runList(const UnitOptions& options, bool check) {
    int exitCode = kExitOk;
    auto source = createBus(options, exitCode);
    if (!source) return exitCode;

    std::vector<Listed> units;
    // Only the units are opened, and only for a moment: other HID interfaces stay untouched.
    for (const link::UnitEntry& entry : source->units()) {
        Listed unit;
        unit.entry = entry;
        unit.usb = source->all().describe(entry.path);
        if (auto handle = source->all().open(entry.path, unit.access)) {
            // A backend need not clear the error on success.
            unit.access = link::OpenError::None;
            handle.reset();
            if (check) {
                link::ChosenUnit only(source->all(), entry.path);
                link::DeviceLink link(only, source->readWait());
                unit.check = link::checkConnection(link, settleWait);
            }
        } else if (unit.access == link::OpenError::Busy) {
            unit.holder = source->all().holderOf(entry.path);
            if (unit.holder) unit.holderProgram = link::processName(*unit.holder);
        }
        units.push_back(std::move(unit));
    }

    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Listed& unit : units) {
        result("%s\n", line(unit).c_str());
        list.push_back(json(unit));
        if (check && unit.check != link::Connection::Ready) exitCode = kExitNoUnit;
    }
    report()["units"] = std::move(list);
    if (units.empty()) {
        std::fprintf(stderr,
                     "kavo3cli: no KAVO-3 found. Check the USB cable and the unit's power; "
                     "'kavo3cli doctor' says what it sees.\n");
        return kExitNoUnit;
    }
    return exitCode;
}

void addListCommand(CLI::App& app, Subcommands& commands) {
    auto check = std::make_shared<bool>(false);
    CLI::App* list = Subcommands::add(app, "list", "Every unit attached, one line each");
    list->add_flag("--check", *check, "Ask each unit that is free to answer the connection check");
    commands.runs(list, [check](const UnitOptions& unit) { return runList(unit, *check); }, false);
}

}  // namespace kavo3::cli
