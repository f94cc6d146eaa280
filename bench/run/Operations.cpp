#include "bench/run/Operations.h"

namespace kavo3::bench {

std::vector<Operation> operations() {
    return {
        {"exchanges", "--count=N connection checks through the link", runExchanges},
        {"settle-waits", "--count=N settle waits of three ticks", runSettleWaits},
        {"timing-open", "opens the timing window from the main window", runTimingOpen},
        {"capture", "captures one frame (--sim=size=WxH) in the capture window", runCapture},
        {"download", "downloads --bytes=N into the ROM and verifies", runDownload},
    };
}

}  // namespace kavo3::bench
