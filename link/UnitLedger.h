// What each physical unit is in the middle of, as far as this program knows: frozen by a
// capture, its timing access open (with a Write end owed), a write start taken whose data
// reports are not all sent, a checksum requested. Kept per unit, keyed by the unit itself
// (port path and identity, never a node name the system may hand to another unit later), so
// that every way a sequence ends settles that unit and no other. A write start's debt is also
// kept in a small state file, so that a program that could not finish (killed, the power
// lost) leaves it for the next program that finds the unit.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/Transport.h"

namespace kavo3::link {

// Who a unit is: where it sits on the USB, what it says it is and its serial number where the
// platform gives one. Without a port path the node path stands in, which is as far as that
// platform lets us tell units apart.
std::string unitKey(const std::string& portPath, const std::string& nodePath,
                    const HidAttributes& identity, const std::string& serial = {});

struct UnitDebt {
    bool frozen = false;
    bool timingOpen = false;
    bool writeEndOwed = false;
    std::array<std::uint8_t, 8> writeEnd{};  // the Write end that completes the last Block write
    std::uint32_t dataAnnounced = 0;         // data reports of the write start taken
    std::uint32_t dataSent = 0;              // of them, taken by the unit
    bool checksumRequested = false;
    bool inStateFile = false;  // the data debt is written down for the next program too
    bool left = false;         // the unit left since: what it owes goes to a new attachment

    std::uint32_t dataOwed() const { return dataAnnounced - dataSent; }
    bool empty() const {
        return !frozen && !timingOpen && !writeEndOwed && dataOwed() == 0 && !checksumRequested;
    }
};

class UnitLedger {
  public:
    // The ledger of this process, with its state files where the platform keeps program state
    // ($XDG_STATE_HOME/kavo3, ~/.local/state/kavo3, %LOCALAPPDATA%\kavo3).
    static UnitLedger& process();
    // A ledger whose state files go to `stateFolder` (empty: none are written).
    explicit UnitLedger(std::filesystem::path stateFolder);

    const std::filesystem::path& stateFolder() const { return stateFolder_; }

    UnitDebt debt(const std::string& key) const;
    bool owes(const std::string& key) const { return !debt(key).empty(); }
    // Any unit of the process owes something.
    bool anyDebt() const;
    // The units that owe something.
    std::vector<std::string> owingUnits() const;

    void setFrozen(const std::string& key, bool frozen);
    void setTimingOpen(const std::string& key, bool open);
    void setWriteEndOwed(const std::string& key, const std::array<std::uint8_t, 8>* writeEnd);
    void setChecksumRequested(const std::string& key, bool requested);

    // A write start is about to go out with `reports` data reports: the state file is written
    // first (when `persist`), so that the debt outlives a program that cannot finish.
    void dataAnnounced(const std::string& key, std::uint32_t reports, bool persist);
    void dataReportTaken(const std::string& key);
    // The unit answered the last data report (or restarted): nothing of the write is owed.
    void dataDone(const std::string& key);

    // The unit left: a Write end, which carries bytes read before, is owed it no more.
    void unitLeft(const std::string& key);

    // Takes everything owed by `key`, for settling now; the state file's debt included.
    UnitDebt take(const std::string& key, bool fromStateFile);
    // Puts back what a settling could not finish (the unit left again).
    void putBack(const std::string& key, const UnitDebt& debt, bool persist);

    // The data debt a program before this one left in the state file for `key`.
    std::optional<UnitDebt> leftInStateFile(const std::string& key) const;
    std::filesystem::path stateFileOf(const std::string& key) const;

  private:
    void writeStateFile(const std::string& key, const UnitDebt& debt) const;
    void removeStateFile(const std::string& key) const;

    mutable std::mutex mutex_;
    std::map<std::string, UnitDebt> debts_;
    std::filesystem::path stateFolder_;
};

}  // namespace kavo3::link
