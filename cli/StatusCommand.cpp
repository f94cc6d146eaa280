// kavo3cli status: the search for the unit and the connection check.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/Subcommands.h"
#include "cli/UnitAccess.h"
#include "link/ConnectionCheck.h"

namespace kavo3::cli {

int runStatus(const UnitOptions& unitOptions, bool listInterfaces) {
    int exitCode = kExitOk;
    auto unit = createUnit(unitOptions, exitCode);
    if (!unit) return exitCode;
    if (listInterfaces) {
        // Every unit by the names --device takes, then the search as it goes.
        auto source = createBus(unitOptions, exitCode);
        if (!source) return exitCode;
        const std::vector<link::UnitEntry> units = source->units();
        result("units: %zu\n", units.size());
        for (const link::UnitEntry& entry : units)
            result("  %04x:%04x  port %s  node %s\n", entry.identity.VendorID,
                        entry.identity.ProductID,
                        entry.portPath.empty() ? "-" : entry.portPath.c_str(), entry.path.c_str());
        // What the search examined and what it made of each interface, as the trace says it.
        unit->trace().setNoteListener([](std::string_view text) {
            result("  %.*s\n", static_cast<int>(text.size()), text.data());
        });
        result("search:\n");
    }
    link::DeviceLink& link = unit->link();
    const link::Connection connection = link::checkConnection(link, settleWait);
    unit->trace().setNoteListener({});

    nlohmann::ordered_json& doc = report();
    doc["connection"] = connection == link::Connection::Ready    ? "answered"
                        : connection == link::Connection::Silent ? "no answer"
                                                                 : "not found";
    if (connection == link::Connection::NotFound) {
        if (link.unitProblem().empty())
            std::fprintf(stderr,
                         "kavo3cli: no KAVO-3 found. Check the USB cable and the unit's power%s.\n",
                         listInterfaces ? "" : "; --list shows every HID interface examined");
        return kExitNoUnit;
    }
    result("unit: %04x:%04x at %s\n", link.attributes().VendorID,
           link.attributes().ProductID, link.DevicePath().c_str());
    result("reports: output %u bytes, input %u bytes\n",
           static_cast<unsigned>(link.caps().OutputReportByteLength),
           static_cast<unsigned>(link.caps().InputReportByteLength));
    char identity[16];
    std::snprintf(identity, sizeof identity, "%04x:%04x", link.attributes().VendorID,
                  link.attributes().ProductID);
    doc["unit"] = {{"node", link.DevicePath()},
                   {"vid", std::string(identity, 4)},
                   {"pid", std::string(identity + 5, 4)},
                   {"output_report_bytes", link.caps().OutputReportByteLength},
                   {"input_report_bytes", link.caps().InputReportByteLength}};
    if (connection == link::Connection::Silent) {
        result("connection check: no answer\n");
        std::fprintf(stderr,
                     "kavo3cli: the unit does not answer. Check that it is switched on, then "
                     "unplug it and plug it in again.\n");
        return kExitNoUnit;
    }
    result("connection check: answered\n");
    return kExitOk;
}

void addStatusCommand(CLI::App& app, Subcommands& commands) {
    auto listInterfaces = std::make_shared<bool>(false);
    CLI::App* status =
        Subcommands::add(app, "status", "Search for the unit and check that it answers");
    status->add_flag("--list", *listInterfaces,
                     "Show every unit attached, by port path and node path, and every HID "
                     "interface examined and what was made of it");
    commands.runs(
        status,
        [listInterfaces](const UnitOptions& unit) { return runStatus(unit, *listInterfaces); },
        false);
}

}  // namespace kavo3::cli
