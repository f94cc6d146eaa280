#include "download/DownloadHooks.h"

namespace kavo3::download {

DownloadCallbacks downloadCallbacks(DownloadView view, DownloadPace pace) {
    DownloadCallbacks callbacks;
    // The run calls each of them unasked.
    callbacks.status = view.status ? std::move(view.status) : [](const std::string&) {};
    callbacks.progress = view.progress ? std::move(view.progress) : [](std::uint32_t) {};
    callbacks.padding = std::move(view.padding);
    callbacks.processEvents = pace.processEvents ? std::move(pace.processEvents) : [] {};
    callbacks.settleWait = pace.settleWait ? std::move(pace.settleWait) : [](int) {};
    callbacks.stopRequested = std::move(pace.stopRequested);
    return callbacks;
}

}  // namespace kavo3::download
