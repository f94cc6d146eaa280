// kavo3tool: the tool against a real unit on USB.
#include "app/PlatformDeviceEvents.h"
#include "app/Program.h"
#include "link/ProgramName.h"
#include "version/ProgramVersion.h"

#ifdef _WIN32
#include "link/windows/WinHidTransport.h"
using PlatformTransport = kavo3::link::windows::WinHidTransport;
#else
#include "link/linux/HidrawTransport.h"
using PlatformTransport = kavo3::link::HidrawTransport;
#endif

int main(int argc, char** argv) {
    if (kavo3::version::askedForVersion(argc, argv)) {
        kavo3::version::printVersion("kavo3tool");
        return 0;
    }
    kavo3::link::setProgramName("kavo3tool");
    PlatformTransport transport;
    return kavo3::app::runProgram(argc, argv, transport, kavo3::app::platformDeviceEvents);
}
