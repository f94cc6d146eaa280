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

DataPhase::DataPhase(link::DeviceLink& link, std::uint32_t address, std::uint32_t bytes,
                     std::function<void()> settle)
    : link_(link),
      hold_(link.hold()),
      settle_(std::move(settle)),
      count_(bytes / kDataReportBytes) {
    link_.CommandBytes = {kWriteStart,        0,
                          byteOf(address, 0), byteOf(address, 1),
                          byteOf(address, 2), byteOf(bytes, 0),
                          byteOf(bytes, 1),   byteOf(bytes, 2)};
    hold_.WriteCommand();
    // A write start that was not taken announced nothing: the unit owes no data.
    if (!link_.DeviceFound()) {
        lost_ = true;
        count_ = 0;
    } else if (!link_.lastWriteTaken()) {
        refused_ = true;
        count_ = 0;
    }
}

void DataPhase::send(const std::array<std::uint8_t, 8>& bytes) {
    if (finished_ || lost_ || sent_ == count_) return;
    // Set only now: nothing that ran since the last report may have left its bytes here.
    link_.CommandBytes = bytes;
    hold_.WriteReport(bytes, link::Meant::Data);
    if (!link_.DeviceFound()) {
        lost_ = true;  // not taken: a unit that comes back still owes this one too
        return;
    }
    if (!link_.lastWriteTaken()) {
        refused_ = true;  // the unit still owes this one
        return;
    }
    ++sent_;
}

void DataPhase::finish() {
    if (finished_) return;
    // A unit that keeps refusing is given up as if it had left: should it come back, the rest
    // is settled with it first.
    constexpr int kRefusalsInARow = 3;
    int refusals = 0;
    while (!lost_ && sent_ < count_) {
        const std::uint32_t before = sent_;
        send(kErased);
        if (sent_ != before) {
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
    hold_.ReadReport();  // the unit's answer to the end of the data; its content says nothing
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
