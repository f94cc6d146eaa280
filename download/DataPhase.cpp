#include "download/DataPhase.h"

#include <algorithm>
#include <vector>

#include "download/ErasePlan.h"
#include "link/Protocol.h"

namespace kavo3::download {

namespace {

constexpr std::uint8_t kWriteStart = link::protocol::kWriteStart;
constexpr std::array<std::uint8_t, 8> kErased = link::protocol::kErasedData;

constexpr std::uint8_t byteOf(std::uint32_t value, int index) {
    return static_cast<std::uint8_t>(value >> (8 * index));
}

}  // namespace

DataPhase::DataPhase(link::Conversation& talk, std::uint32_t address, std::uint32_t bytes,
                     std::function<void()> settle)
    : link_(talk.link()),
      talk_(talk),
      hold_(link_.hold()),
      settle_(std::move(settle)),
      count_(bytes / kDataReportBytes),
      unit_(talk.live() ? link_.unitKey() : std::string()) {
    link_.CommandBytes = {kWriteStart,        0,
                          byteOf(address, 0), byteOf(address, 1),
                          byteOf(address, 2), byteOf(bytes, 0),
                          byteOf(bytes, 1),   byteOf(bytes, 2)};
    // Written down before it goes out: from the moment the unit takes it, it owes data.
    if (!unit_.empty() && hold_.active())
        link_.ledger().dataAnnounced(unit_, count_, link_.unitsOutliveProgram());
    // A write start that was not taken announced nothing: the unit owes no data, and data
    // now would be taken for commands.
    if (!talk_.counted(
            hold_.WriteReport(link_.CommandBytes, link::Meant::Command, talk_.attachment()))) {
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
    // Set only now: nothing that ran since the last report may have left its bytes here.
    link_.CommandBytes = bytes;
    if (talk_.counted(hold_.WriteReport(bytes, link::Meant::Data, talk_.attachment()))) {
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
        if (send(kErased)) {
            refusals = 0;
        } else if (!lost_ && ++refusals == kRefusalsInARow) {
            lost_ = true;
            if (talk_.live()) link_.Close();
        }
    }
    finished_ = true;
    if (lost_) {
        hold_.release();
        return;
    }
    settle_();
    // The unit's answer to the end of the data; its content says nothing.
    hold_.ReadReport(talk_.attachment());
    if (count_ > 0) {
        link_.ledger().dataDone(unit_);
        settled_ = true;
    }
    // A command another window owes the unit (a closing timing window's) goes out now.
    hold_.release();
}

}  // namespace kavo3::download
