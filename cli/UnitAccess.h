// kavo3cli's way to its unit: the operation layer's run, with what went wrong said on
// standard error in kavo3cli's words and turned into its exit status.
#pragma once

#include <memory>
#include <string>

#include "operate/UnitBus.h"
#include "operate/UnitRun.h"

namespace kavo3::cli {

using operate::settleWait;
using operate::UnitBus;
using operate::unitName;
using operate::UnitOptions;
using operate::UnitRun;

// Null, with `exitCode` set, when the switches of --sim are bad.
std::unique_ptr<UnitBus> createBus(const UnitOptions& options, int& exitCode);
// The run's unit and trace, not yet connected; null, with `exitCode` set, when they cannot be
// set up.
std::unique_ptr<UnitRun> createUnit(const UnitOptions& options, int& exitCode);
// The unit `id` names among `bus`'s, for a run on a thread of its own.
std::unique_ptr<UnitRun> createUnitFor(UnitBus& bus, const std::string& id,
                                       const std::string& tracePath, int& exitCode);
// Search and connection check; on failure says why and returns false.
bool connect(UnitRun& unit);
// Both: a unit that answered, or null with `exitCode` set (kExitNoUnit when none answered).
std::unique_ptr<UnitRun> openUnit(const UnitOptions& options, int& exitCode);
// False, with a message, when any report of the run was not taken or not answered by its
// attachment (the unit left, came back or fell silent), so that nothing it gave back is taken
// for done.
bool stayedConnected(UnitRun& unit);

}  // namespace kavo3::cli
