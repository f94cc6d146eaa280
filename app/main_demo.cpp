// kavo3tool-demo: the tool against the built-in simulated unit, or a bench of them (KAVO3_SIM
// sets their switches; units=N).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "app/SimBenchEvents.h"
#include "link/ProgramName.h"
#include "sim/SimBench.h"
#include "sim/SimOptions.h"
#include "sim/SimSwitchesHelp.h"
#include "version/ProgramVersion.h"

int main(int argc, char** argv) {
    if (kavo3::app::askedForHelp(argc, argv)) {
        kavo3::version::printToConsole(kavo3::app::programHelp(
            "kavo3tool-demo",
            std::string("  KAVO3_SIM=SWITCHES  the simulated unit's switches, comma-separated:\n") +
                kavo3::sim::simSwitchesHelp() +
                "  Switches for the tests of the tool itself, not for trying it:\n" +
                kavo3::sim::simTestSwitchesHelp()));
        return 0;
    }
    if (kavo3::version::askedForVersion(argc, argv)) {
        kavo3::version::printVersion("kavo3tool-demo");
        return 0;
    }
    kavo3::link::setProgramName("kavo3tool-demo");
    kavo3::sim::SimOptions options;
    if (const char* switches = std::getenv("KAVO3_SIM"); switches && *switches) {
        std::string error;
        auto parsed = kavo3::sim::parseSimSwitches(switches, error);
        if (!parsed) {
            std::fprintf(stderr, "kavo3tool-demo: KAVO3_SIM: %s\n", error.c_str());
            return kavo3::app::kBadUsage;
        }
        options = *parsed;
    }
    kavo3::sim::SimBench bench(options);
    // The windows are the real program's, texts and all; only here is it said that no unit
    // is behind them.
    std::fprintf(stderr,
                 "kavo3tool-demo: the unit is simulated (KAVO3_SIM sets its switches); nothing "
                 "is sent to a real KAVO-3.\n");
    kavo3::app::UnitWords words;
    words.toolTip = "Simulated unit (kavo3tool-demo): nothing is sent to a real KAVO-3.";
    return kavo3::app::runProgram(
        argc, argv, bench,
        [&](QWidget&) { return std::make_shared<kavo3::app::SimBenchEvents>(bench); }, words);
}
