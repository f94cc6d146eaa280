#include "operate/DownloadVerdicts.h"

namespace kavo3::operate {

const DownloadVerdict& verdictOf(download::Outcome outcome) {
    for (const DownloadVerdict& verdict : kDownloadVerdicts)
        if (verdict.outcome == outcome) return verdict;
    // Not reached: the table lists every outcome, as its test checks.
    return kDownloadVerdicts.back();
}

}  // namespace kavo3::operate
