#include "download/DataPhase.h"

#include <algorithm>
#include <vector>

#include "download/ErasePlan.h"

namespace kavo3::download {

namespace {

constexpr std::uint8_t kWriteStart = 1;
constexpr std::array<std::uint8_t, 8> kConnectionCheck{2, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 8> kErased{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

constexpr std::uint8_t byteOf(std::uint32_t value, int index) {
    return static_cast<std::uint8_t>(value >> (8 * index));
}

void settleOnReturn(link::DeviceLink& link, std::uint32_t owed);

}  // namespace

DataPhase::DataPhase(link::Conversation& talk, std::uint32_t address, std::uint32_t bytes,
                     std::function<void()> settle)
    : link_(talk.link()),
      talk_(talk),
      hold_(link_.hold()),
      settle_(std::move(settle)),
      count_(bytes / kDataReportBytes) {
    link_.CommandBytes = {kWriteStart,        0,
                          byteOf(address, 0), byteOf(address, 1),
                          byteOf(address, 2), byteOf(bytes, 0),
                          byteOf(bytes, 1),   byteOf(bytes, 2)};
    // A write start that was not taken announced nothing: the unit owes no data, and data
    // now would be taken for commands.
    if (!talk_.counted(
            hold_.WriteReport(link_.CommandBytes, link::Meant::Command, talk_.attachment()))) {
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
    // A unit that keeps refusing is given up as if it had left: should it come back, the rest
    // is settled with it first.
    constexpr int kRefusalsInARow = 3;
    int refusals = 0;
    while (!lost_ && sent_ < count_) {
        if (send(kErased)) {
            refusals = 0;
        } else if (!lost_ && ++refusals == kRefusalsInARow) {
            lost_ = true;
        }
    }
    finished_ = true;
    if (lost_) {
        hold_.release();
        settleOnReturn(link_, count_ - sent_);
        return;
    }
    settle_();
    // The unit's answer to the end of the data; its content says nothing.
    hold_.ReadReport(talk_.attachment());
    // A command another window owes the unit (a closing timing window's) goes out now.
    hold_.release();
}

namespace {

void settleOnReturn(link::DeviceLink& link, std::uint32_t owed) {
    if (owed == 0) return;
    link.settleWithNextUnit([&link, owed] { settleWithUnitBack(link, owed); });
}

bool answered(const std::vector<std::uint8_t>& readBuffer) {
    return std::any_of(readBuffer.begin() + 1, readBuffer.end(),
                       [](std::uint8_t b) { return b != 0; });
}

}  // namespace

void settleWithUnitBack(link::DeviceLink& link, std::uint32_t owed) {
    // The probe: a command to a restarted unit, the next data to one that kept its state.
    link.WriteReport(kConnectionCheck, link::Meant::Probe);
    if (!link.DeviceFound()) return settleOnReturn(link, owed);
    link.ReadReport();
    if (answered(link.ReadBuffer)) return;
    for (std::uint32_t left = owed - 1; left > 0; --left) {
        link.WriteReport(kErased, link::Meant::Probe);
        if (!link.DeviceFound()) return settleOnReturn(link, left);
    }
    link.ReadReport();  // its answer to the last data report
}

}  // namespace kavo3::download
