// kavo3cli doctor: why the unit is not found or does not work, each finding with its remedy.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/UnitSource.h"
#include "link/Diagnosis.h"

namespace kavo3::cli {

int runDoctor(const UnitOptions& options) {
    int exitCode = kExitOk;
    auto source = UnitSource::create(options, exitCode);
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
    for (const link::Finding& finding : findings) {
        const char* mark = finding.kind == link::Finding::Kind::Problem ? "problem"
                           : finding.kind == link::Finding::Kind::Note  ? "note"
                                                                        : "ok";
        std::printf("%-7s %-10s %s\n", mark, finding.topic.c_str(), finding.text.c_str());
        if (!finding.remedy.empty()) std::printf("%18s-> %s\n", "", finding.remedy.c_str());
    }
    if (link::unitWouldWork(findings)) {
        std::printf("The unit would work.\n");
        return kExitOk;
    }
    return kExitNoUnit;
}

}  // namespace kavo3::cli
