#include "operate/DownloadHooks.h"

#include "link/StopSignals.h"
#include "operate/UnitRun.h"

namespace kavo3::operate {

download::DownloadPace terminalPace() {
    return {[] {}, settleWait, [] { return link::stopRequested(); }};
}

download::DownloadCallbacks downloadCallbacks(download::DownloadView view,
                                              download::DownloadPace pace) {
    if (!pace.settleWait) pace.settleWait = settleWait;
    return download::downloadCallbacks(std::move(view), std::move(pace));
}

}  // namespace kavo3::operate
