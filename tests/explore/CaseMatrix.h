// The cases of the exploration: every sequence, against every fault struck at every report
// index of its fault-free run, with every ending. A report index counts the output reports
// the units took, over the whole bench.
#pragma once

#include <string>
#include <vector>

#include "Sequences.h"
#include "sim/SimOptions.h"

namespace kavo3::explore {

struct Fault {
    const char* name;
    // The bench's options with the fault striking first at output report `index` (from 1) of
    // unit `unit`; index 0 for a fault that has none.
    void (*apply)(std::vector<sim::SimOptions>& units, int unit, int index);
    bool indexed;           // struck at every report index; else one case
    bool addsUnit;          // brings a second unit to a one-unit sequence
    bool backLate = false;  // a unit away comes back only after the program's next sequence
};

std::vector<Fault> faults();

inline constexpr int kToTheEnd = -1;

struct Case {
    const Sequence* sequence;
    const Fault* fault;  // nullptr: none
    int index = 0;       // report index the fault strikes at first, over the bench
    int unit = 0;        // the unit that index falls on, and its own index there
    int unitIndex = 0;
    int stopAt = kToTheEnd;  // a stop requested once the units took this many reports
};

struct CaseEnd {
    std::vector<std::string> found;  // what the oracle found; empty: sound
    long reports = 0;                // output reports the units took during the sequence
    std::vector<long> reportsPerUnit;
};

CaseEnd runCase(const Case& c, const Files& files);

// The stop indexes to try after a run to the end that took `reports` reports; a long
// sequence gets its edges, the neighbourhood of the fault and a regular sample between.
std::vector<int> stopIndexes(const Case& toTheEnd, long reports);

}  // namespace kavo3::explore
