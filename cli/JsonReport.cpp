#include "cli/JsonReport.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "cli/Output.h"
#include "cli/UnitAccess.h"
#include "version/ProgramVersion.h"

namespace kavo3::cli {

namespace {

// The moment the run began, in UTC, to the second: 2026-12-09T00:41:23Z.
std::string utcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

}  // namespace

std::string releaseText(std::uint16_t bcd) {
    char text[8];
    std::snprintf(text, sizeof text, "%x.%02x", bcd >> 8, bcd & 0xFF);
    return text;
}

nlohmann::ordered_json& report() {
    static nlohmann::ordered_json document = nlohmann::ordered_json::object();
    return document;
}

void beginReport(const std::string& command) {
    nlohmann::ordered_json& doc = report();
    doc = nlohmann::ordered_json::object();
    doc["schema"] = kJsonSchemaVersion;
    doc["tool"] = {{"name", "kavo3cli"},
                   {"version", std::string(version::version())},
                   {"commit", std::string(version::commit())}};
    doc["command"] = command;
    doc["time"] = utcNow();
}

void printReport(int exitCode) {
    if (!outputMode().json) return;
    nlohmann::ordered_json& doc = report();
    if (doc.empty()) return;
    doc["exit"] = exitCode;
    // Unit names and file names may hold bytes that are not UTF-8; they are replaced rather
    // than lose the whole document.
    const std::string text =
        doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

nlohmann::ordered_json unitJson(const link::UnitEntry& unit, const link::UsbDescription& usb) {
    const auto orNull = [](const std::string& text) {
        return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
    };
    nlohmann::ordered_json out;
    out["unit"] = unitName(unit);
    out["port"] = orNull(unit.portPath);
    out["node"] = unit.path;
    out["vid"] = hex4(unit.identity.VendorID);
    out["pid"] = hex4(unit.identity.ProductID);
    out["version"] = usb.version ? nlohmann::ordered_json(releaseText(*usb.version)) : nullptr;
    out["manufacturer"] = orNull(usb.manufacturer);
    out["product"] = orNull(usb.product);
    out["serial"] = orNull(usb.serial);
    return out;
}

}  // namespace kavo3::cli
