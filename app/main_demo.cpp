// kavo3tool-demo: the tool against the built-in simulated unit, or a bench of them (KAVO3_SIM
// sets their switches; units=N).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Program.h"
#include "app/SimBenchEvents.h"
#include "link/ProgramName.h"
#include "sim/SimBench.h"
#include "sim/SimOptions.h"
#include "version/ProgramVersion.h"

int main(int argc, char** argv) {
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
            return 2;
        }
        options = *parsed;
    }
    kavo3::sim::SimBench bench(options);
    return kavo3::app::runProgram(argc, argv, bench, [&](QWidget&) {
        return std::make_shared<kavo3::app::SimBenchEvents>(bench);
    });
}
