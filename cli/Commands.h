// One function per subcommand; each returns the exit status (ExitCodes.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/UnitAccess.h"

namespace kavo3::cli {

int runStatus(const UnitOptions& unit, bool listInterfaces);

// Every unit found, one line each; `check` asks each free one to answer.
int runList(const UnitOptions& unit, bool check);

struct DownloadRequest;
int runDownload(const UnitOptions& unit, const DownloadRequest& request);
// Every unit (--all) or every --device, each on a thread and link of its own; exit status
// the worst of theirs.
int runDownloadMany(const UnitOptions& unit, const DownloadRequest& request, bool allUnits);

// Whether the file is in the unit's flash, by the unit's checksum; nothing is erased or
// written. Every unit (--all) or every --device in turn; exit status the worst of theirs.
int runVerify(const UnitOptions& unit, const DownloadRequest& request, bool allUnits);

// Why the unit is not found or does not work, each finding with its remedy.
int runDoctor(const UnitOptions& unit);

int runKey(const UnitOptions& unit, const std::string& key);
// The key table: short name, code, design name and legend of every key.
int listKeys();

// The timing window's opening, parameter changes, data save and data load; each run ends
// with the window's closing.
int runTimingShow(const UnitOptions& unit);
int runTimingSet(const UnitOptions& unit, const std::vector<std::string>& assignments);
int runTimingSave(const UnitOptions& unit, const std::string& file);
int runTimingLoad(const UnitOptions& unit, const std::string& file);
// A timing data file's fourteen values, and the values two files differ in; no unit needed.
int showTimingFile(const std::string& file);
int diffTimingFiles(const std::string& first, const std::string& second);

int runFreeze(const UnitOptions& unit, bool on);
int runCapture(const UnitOptions& unit, const std::string& file, bool leaveFrozen);

}  // namespace kavo3::cli
