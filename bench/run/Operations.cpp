#include "bench/run/Operations.h"

namespace kavo3::bench {

std::vector<Operation> operations() {
    std::vector<Operation> list{
        {"exchanges", "--count=N connection checks through the link", runExchanges},
        {"settle-waits", "--count=N settle waits of three ticks", runSettleWaits},
    };
#ifdef KAVO3_HAVE_TIMING
    list.push_back({"timing-open", "opens the timing window from the main window", runTimingOpen});
#endif
#ifdef KAVO3_HAVE_CAPTURE
    list.push_back({"capture", "captures one frame (--sim=size=WxH) in the capture window",
                    runCapture});
#endif
#ifdef KAVO3_HAVE_DOWNLOAD
    list.push_back({"download", "downloads --bytes=N into the ROM and verifies", runDownload});
#endif
    return list;
}

}  // namespace kavo3::bench
