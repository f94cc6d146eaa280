// A download's data phase as the unit sees it: once it has taken the write start, it takes the
// next reports as flash data, as many as the start announced, whatever they were meant as.
// The phase owns that count. However it ends (all data sent, a stop, a file that failed, a
// return on any path), the reports still owed go out as erased bytes (0xFF), which NOR flash
// keeps as they are, so the unit takes commands again afterwards and nothing of the file that
// was not sent reaches the flash. The unit's ledger keeps the count (and, for a real unit, its
// state file): a unit that leaves in the middle gets nothing more, and should it come back,
// the rest is settled with it, and no other unit, before anything else is sent to it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "link/Conversation.h"
#include "link/LinkHold.h"

namespace kavo3::download {

class DataPhase {
  public:
    // Holds the link and sends the write start for `bytes` (a multiple of 8) at `address`, to
    // the attachment `talk` is on; every report of the phase goes to that one only.
    // `settle` is the settle wait that paces the read of the unit's answer at the end.
    DataPhase(link::Conversation& talk, std::uint32_t address, std::uint32_t bytes,
              std::function<void()> settle);
    ~DataPhase() { finish(); }
    DataPhase(const DataPhase&) = delete;
    DataPhase& operator=(const DataPhase&) = delete;

    // One data report; nothing once the whole count has been sent. False when the unit did
    // not take it, or did not take the write start: no file data may follow.
    bool send(const std::array<std::uint8_t, 8>& bytes);

    // The unit left (or another attachment is open), or kept refusing reports: nothing more is
    // sent; what it still owes stays in the ledger.
    bool lost() const { return lost_; }
    // Every report the unit was owed went out and it answered the last: it takes commands.
    bool settled() const { return settled_; }
    // A report was not taken by the system although the unit is still there: the unit did not
    // count it, so no file data may follow it, and the download has failed.
    bool refused() const { return refused_; }
    std::uint32_t reportsSent() const { return sent_; }
    std::uint32_t reportsOwed() const { return count_ - sent_; }

    // Sends what is still owed as erased bytes, reads the unit's answer to the last data report
    // and ends the hold, so that commands that waited for it run. Once only.
    void finish();

  private:
    link::DeviceLink& link_;
    link::Conversation& talk_;
    link::DeviceLink::Hold hold_;
    std::function<void()> settle_;
    std::uint32_t count_;
    std::uint32_t sent_ = 0;
    bool finished_ = false;
    bool lost_ = false;
    bool refused_ = false;
    bool settled_ = false;
    std::string unit_;  // the ledger's key of the unit that took the write start
};

}  // namespace kavo3::download
