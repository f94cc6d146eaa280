// kavo3tool: the tool against a real unit on USB.
#include "app/PlatformDeviceEvents.h"
#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "link/PlatformTransport.h"
#include "link/ProgramName.h"
#include "version/ProgramVersion.h"

int main(int argc, char** argv) {
    if (kavo3::app::askedForHelp(argc, argv)) {
        kavo3::version::printToConsole(kavo3::app::programHelp("kavo3tool"));
        return 0;
    }
    if (kavo3::version::askedForVersion(argc, argv)) {
        kavo3::version::printVersion("kavo3tool");
        return 0;
    }
    kavo3::link::setProgramName("kavo3tool");
    kavo3::link::PlatformTransport transport;
    return kavo3::app::runProgram(argc, argv, transport, kavo3::app::platformDeviceEvents);
}
