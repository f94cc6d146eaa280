// Why the unit is not found or does not work: what the link can find out about each step
// from the HID interfaces to the connection check, each finding with what to do about it.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "link/Transport.h"

namespace kavo3::link {

struct Finding {
    enum class Kind { Ok, Note, Problem };
    Kind kind = Kind::Ok;
    std::string topic;   // interfaces, units, permission, udev rule, busy, reports, answer, tick
    std::string text;    // what was found
    std::string remedy;  // what to do; empty when nothing needs doing
};

struct DiagnosisSetup {
    std::string chosen;  // --device: the unit to look at; empty: every unit
    // Where the udev rule may be installed; empty where the platform has none.
    std::vector<std::string> udevRulePaths;
    std::function<void(int ticks)> settleWait;
    std::chrono::milliseconds readWait{1000};
};

// The rule's places on Linux: the package's, and the one an administrator copies it to.
std::vector<std::string> standardUdevRulePaths();

std::vector<Finding> diagnose(Transport& transport, const DiagnosisSetup& setup);

// True when no finding is a problem: the unit would work.
bool unitWouldWork(const std::vector<Finding>& findings);

}  // namespace kavo3::link
