#include "download/DataPhase.h"

#include "download/ErasePlan.h"
#include "link/Protocol.h"

namespace kavo3::download {

DataPhase::DataPhase(link::Conversation& talk, std::uint32_t address, std::uint32_t bytes,
                     std::function<void()> settle)
    : link_(talk.link()),
      talk_(talk),
      hold_(link_.hold()),
      settle_(std::move(settle)),
      count_(bytes / kDataReportBytes),
      unit_(talk.live() ? link_.unitKey() : std::string()) {
    // Written down before it goes out: from the moment the unit takes it, it owes data.
    if (!unit_.empty() && hold_.active())
        link_.ledger().dataAnnounced(unit_, count_, link_.unitsOutliveProgram());
    // A write start that was not taken announced nothing: the unit owes no data, and data
    // now would be taken for commands.
    if (!talk_.send(hold_, link::protocol::writeStart(address, bytes), link::Meant::Command)) {
        if (!unit_.empty()) link_.ledger().dataDone(unit_);
        count_ = 0;
        if (talk_.live())
            refused_ = true;
        else
            lost_ = true;
    }
}

bool DataPhase::send(const std::array<std::uint8_t, 8>& bytes) {
    if (lost_ || (refused_ && count_ == 0)) return false;
    if (finished_ || sent_ == count_) return true;
    if (talk_.send(hold_, bytes, link::Meant::Data)) {
        ++sent_;
        link_.ledger().dataReportTaken(unit_);
        return true;
    }
    // Not counted by the unit: it still owes this one. Gone, or another attachment open, it
    // gets nothing more of the phase; should it come back, the rest is settled with it.
    if (talk_.live())
        refused_ = true;
    else
        lost_ = true;
    return false;
}

void DataPhase::finish() {
    if (finished_) return;
    // A unit that keeps refusing is given up as if it had left: the link lets go of it, and
    // the next search that finds it settles the rest first.
    constexpr int kRefusalsInARow = 3;
    int refusals = 0;
    while (!lost_ && sent_ < count_) {
        if (send(link::protocol::kErasedData)) {
            refusals = 0;
        } else if (!lost_ && ++refusals == kRefusalsInARow) {
            lost_ = true;
            if (talk_.live()) link_.close();
        }
    }
    finished_ = true;
    if (lost_) {
        hold_.release();
        return;
    }
    settle_();
    // The unit's answer to the end of the data; its content says nothing.
    talk_.read(hold_);
    if (count_ > 0) {
        link_.ledger().dataDone(unit_);
        settled_ = true;
    }
    // A command another window owes the unit (a closing timing window's) goes out now.
    hold_.release();
}

}  // namespace kavo3::download
