// kavo3cli doctor: why the unit is not found or does not work, each finding with its remedy.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/Subcommands.h"
#include "cli/UnitAccess.h"
#include "link/Diagnosis.h"

namespace kavo3::cli {

int runDoctor(const UnitOptions& options) {
    int exitCode = kExitOk;
    auto source = createBus(options, exitCode);
    if (!source) return exitCode;
    if (options.devices.size() > 1) {
        std::fprintf(stderr, "kavo3cli: doctor looks at one --device, or at every unit\n");
        return kExitUsage;
    }

    link::DiagnosisSetup setup;
    if (!options.devices.empty()) setup.chosen = options.devices.front();
#ifndef _WIN32
    if (!options.simulated) setup.udevRulePaths = link::standardUdevRulePaths();
#endif
    setup.settleWait = settleWait;
    const std::vector<link::Finding> findings = link::diagnose(source->all(), setup);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const link::Finding& finding : findings) {
        const char* mark = finding.kind == link::Finding::Kind::Problem ? "problem"
                           : finding.kind == link::Finding::Kind::Note  ? "note"
                                                                        : "ok";
        result("%-7s %-10s %s\n", mark, finding.topic.c_str(), finding.text.c_str());
        if (!finding.remedy.empty()) result("%18s-> %s\n", "", finding.remedy.c_str());
        list.push_back({{"kind", mark},
                        {"topic", finding.topic},
                        {"text", finding.text},
                        {"remedy", finding.remedy.empty() ? nlohmann::ordered_json(nullptr)
                                                          : nlohmann::ordered_json(finding.remedy)}});
    }
    const bool works = link::unitWouldWork(findings);
    report()["findings"] = std::move(list);
    report()["would_work"] = works;
    if (works) {
        result("The unit would work.\n");
        return kExitOk;
    }
    return kExitNoUnit;
}

void addDoctorCommand(CLI::App& app, Subcommands& commands) {
    CLI::App* doctor = Subcommands::add(
        app, "doctor", "Say why the unit is not found or does not work, and what to do about it");
    commands.runs(doctor, runDoctor, false);
}

}  // namespace kavo3::cli
