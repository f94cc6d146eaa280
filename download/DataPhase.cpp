#include "download/DataPhase.h"

#include "download/ErasePlan.h"

namespace kavo3::download {

namespace {

constexpr std::uint8_t kWriteStart = 1;
constexpr std::array<std::uint8_t, 8> kErased{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

constexpr std::uint8_t byteOf(std::uint32_t value, int index) {
    return static_cast<std::uint8_t>(value >> (8 * index));
}

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
}

void DataPhase::send(const std::array<std::uint8_t, 8>& bytes) {
    if (finished_ || sent_ == count_) return;
    // Set only now: nothing that ran since the last report may have left its bytes here.
    link_.CommandBytes = bytes;
    hold_.WriteCommand();
    ++sent_;
}

void DataPhase::finish() {
    if (finished_) return;
    while (sent_ < count_) send(kErased);
    finished_ = true;
    settle_();
    hold_.ReadReport();  // the unit's answer to the end of the data; its content says nothing
    // A command another window owes the unit (a closing timing window's) goes out now.
    hold_.release();
}

}  // namespace kavo3::download
