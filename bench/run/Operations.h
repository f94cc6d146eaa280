// The whole operations that kavo3bench-run measures, each in the real windows against the
// simulated unit. An operation builds what it needs, measures only the work itself between
// Measurement::start() and stop(), and checks that the work was really done.
#pragma once

#include <string>
#include <vector>

#include "bench/run/Figures.h"
#include "bench/run/Rig.h"

namespace kavo3::bench {

struct Arguments {
    long bytes = 64 * 1024;  // download size
    long count = 1000;       // exchanges
};

struct Operation {
    const char* name;
    const char* about;
    // False with `problem` said when the work was not done as it should be.
    bool (*run)(Rig& rig, const Arguments& arguments, Measurement& measurement,
                std::string& problem);
};

std::vector<Operation> operations();

bool runExchanges(Rig&, const Arguments&, Measurement&, std::string&);
bool runSettleWaits(Rig&, const Arguments&, Measurement&, std::string&);
bool runTimingOpen(Rig&, const Arguments&, Measurement&, std::string&);
bool runCapture(Rig&, const Arguments&, Measurement&, std::string&);
bool runDownload(Rig&, const Arguments&, Measurement&, std::string&);

}  // namespace kavo3::bench
