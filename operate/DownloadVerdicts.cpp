#include "operate/DownloadVerdicts.h"

namespace kavo3::operate {

const DownloadVerdict& verdictOf(download::Outcome outcome) {
    for (const DownloadVerdict& verdict : kDownloadVerdicts)
        if (verdict.outcome == outcome) return verdict;
    // An outcome the table lacks is a fault its test finds; say the least.
    return verdictOf(download::Outcome::FileOpenFailed);
}

}  // namespace kavo3::operate
