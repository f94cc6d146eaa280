// kavo3cli key: one key of the remote-control panel.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Numbers.h"
#include "cli/Output.h"
#include "cli/Subcommands.h"
#include "remote/RemoteKeyPress.h"
#include "remote/RemoteKeys.h"

namespace kavo3::cli {

namespace {

const remote::RemoteKey* keyNamed(const std::string& name) {
    if (const auto* key = remote::findRemoteKeyByShortName(name)) return key;
    if (const auto* key = remote::findRemoteKey(name)) return key;
    if (const auto code = parseNumber(name); code && *code <= 0xFF)
        return remote::findRemoteKeyByCode(static_cast<std::uint8_t>(*code));
    return nullptr;
}

nlohmann::ordered_json keyJson(const remote::RemoteKey& key) {
    return {{"name", std::string(key.shortName)},
            {"code", key.code ? nlohmann::ordered_json(*key.code) : nullptr},
            {"design", std::string(key.name)},
            {"legend", std::string(key.legend)}};
}

}  // namespace

int listKeys() {
    result("%-16s %-5s %-10s %s\n", "name", "code", "design", "legend");
    nlohmann::ordered_json keys = nlohmann::ordered_json::array();
    for (const remote::RemoteKey& key : remote::remoteKeys()) {
        const std::string code = key.code ? std::to_string(*key.code) : "-";
        keys.push_back(keyJson(key));
        result("%-16.*s %-5s %-10.*s %.*s%s%.*s\n",
                  static_cast<int>(key.shortName.size()), key.shortName.data(), code.c_str(),
                  static_cast<int>(key.name.size()), key.name.data(),
                  static_cast<int>(key.legend.size()), key.legend.data(),
                  key.context.empty() ? "" : " / ", static_cast<int>(key.context.size()),
                  key.context.data());
    }
    report()["keys"] = std::move(keys);
    return kExitOk;
}

int runKey(const UnitOptions& unitOptions, const std::string& name) {
    const remote::RemoteKey* key = keyNamed(name);
    if (!key) {
        std::fprintf(stderr,
                     "kavo3cli: no remote key is called or sends %s; 'kavo3cli key --list' "
                     "shows them all.\n",
                     name.c_str());
        return kExitUsage;
    }
    if (!key->code) {
        std::fprintf(stderr,
                     "kavo3cli: the power key sends nothing to the unit; in the window program "
                     "it only ends the program.\n");
        return kExitUsage;
    }

    int exitCode = kExitOk;
    auto unit = openUnit(unitOptions, exitCode);
    if (!unit) return exitCode;
    remote::pressRemoteKey(unit->talk(), *key->code);
    if (!stayedConnected(*unit)) return kExitNoUnit;
    result("pressed %.*s (%.*s, code %u)\n", static_cast<int>(key->shortName.size()),
           key->shortName.data(), static_cast<int>(key->legend.size()), key->legend.data(),
           static_cast<unsigned>(*key->code));
    report()["key"] = keyJson(*key);
    return kExitOk;
}

void addKeyCommand(CLI::App& app, Subcommands& commands) {
    struct Line {
        std::string name;
        bool list = false;
    };
    auto line = std::make_shared<Line>();
    CLI::App* key = Subcommands::add(app, "key", "Press one key of the remote control");
    key->add_option("KEY", line->name, "Short name (video1, volume-up, ...), design name or code");
    key->add_flag("--list", line->list, "Show every key: short name, code, design name, legend");
    commands
        .runs(key,
              [line](const UnitOptions& unit) {
                  return line->list ? listKeys() : runKey(unit, line->name);
              })
        .checkParsed = [line] {
        if (line->name.empty() && !line->list) throw CLI::RequiredError("KEY (or --list)");
    };
}

}  // namespace kavo3::cli
