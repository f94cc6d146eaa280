// The one JSON document a kavo3cli run writes under --json, on standard output once the run
// has ended. Its shape is docs/kavo3cli.schema.json; "schema" counts its versions, and a field
// is only ever added, never renamed or given another meaning, within one version.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "link/Transport.h"
#include "link/UnitChoice.h"

namespace kavo3::cli {

inline constexpr int kJsonSchemaVersion = 1;

// The run's document; a subcommand fills in its own fields.
nlohmann::ordered_json& report();

// Begins the document for `command` ("download", "timing show", ...): schema, tool and time.
void beginReport(const std::string& command);

// Adds the exit status and writes the document on standard output, when --json asked for it.
void printReport(int exitCode);

// A USB release number (binary-coded decimal) as people write it: 0x0111 is "1.11".
std::string releaseText(std::uint16_t bcd);

// A unit as list and status describe it: names, identity, and the USB device's own words.
nlohmann::ordered_json unitJson(const link::UnitEntry& unit, const link::UsbDescription& usb);

}  // namespace kavo3::cli
