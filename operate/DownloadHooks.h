// The download's callbacks for a program without windows.
#pragma once

#include "download/DownloadHooks.h"

namespace kavo3::operate {

// No events to let run, the settle wait slept, and the stop signals' request.
download::DownloadPace terminalPace();

download::DownloadCallbacks downloadCallbacks(download::DownloadView view,
                                              download::DownloadPace pace = terminalPace());

}  // namespace kavo3::operate
