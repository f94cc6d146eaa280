// kavo3tool-demo: the tool against the built-in simulated unit (KAVO3_SIM sets its switches).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Program.h"
#include "link/ProgramName.h"
#include "sim/SimOptions.h"
#include "sim/SimTransport.h"
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
    kavo3::sim::SimTransport transport(options);
    // The simulated unit raises its own device events; the program does not own it.
    return kavo3::app::runProgram(argc, argv, transport, [&](QWidget&) {
        return std::shared_ptr<kavo3::link::DeviceEvents>(std::shared_ptr<void>(), &transport);
    });
}
