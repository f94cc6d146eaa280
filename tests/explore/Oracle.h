// What must hold at the end of every case, whatever the fault and the ending.
#pragma once

#include <string>
#include <vector>

#include "Sequences.h"

namespace kavo3::explore {

// What the oracle found wrong at the end of a case, one short text per kind, in a fixed
// order; empty when the case is sound. Runs once the program's next sequence has run with
// every unit attached again.
std::vector<std::string> oracle(const Sequence& sequence, Program& program);

}  // namespace kavo3::explore
