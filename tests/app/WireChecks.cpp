#include "WireChecks.h"

#include <algorithm>
#include <cstdio>

#include "link/Protocol.h"

namespace kavo3::app::testing {

namespace {

using link::protocol::kBlockWrite;
using link::protocol::kWriteEnd;
using link::protocol::kWriteStart;
constexpr std::size_t kMaxDownload = 0x100000;
// Loads leave Block writes that no Write end repeats; only the recent ones can still be ended.
constexpr std::size_t kOpenBlockWritesKept = 256;

std::string hex(const WireChecks::Command& c) {
    std::string out;
    char buf[4];
    for (const auto b : c) {
        std::snprintf(buf, sizeof buf, "%02x ", b);
        out += buf;
    }
    out.pop_back();
    return out;
}

bool sameBytes1to7(const WireChecks::Command& a, const WireChecks::Command& b) {
    return std::equal(a.begin() + 1, a.end(), b.begin() + 1);
}

}  // namespace

void WireChecks::downloadStarts(std::vector<std::uint8_t> file) {
    downloading_ = true;
    file_ = std::move(file);
    if (file_.size() > kMaxDownload) file_.resize(kMaxDownload);
}

void WireChecks::downloadEnds(bool unitLeft) {
    if (inDataPhase() && !unitLeft) failures_.push_back("a download ended inside its data phase");
    downloading_ = false;
    dataLeft_ = 0;
}

void WireChecks::fail(const std::string& what, const Command& command) {
    failures_.push_back(what + ": " + hex(command));
}

void WireChecks::reportWritten(const Command& command) {
    if (dataLeft_ > 0) {
        Command expected;
        expected.fill(0xFF);
        const std::size_t from = std::size_t{dataIndex_} * 8;
        for (std::size_t i = 0; i < 8 && from + i < file_.size(); ++i)
            expected[i] = file_[from + i];
        if (command != expected)
            fail("data report " + std::to_string(dataIndex_) + " is not the file's", command);
        ++dataIndex_;
        --dataLeft_;
        return;
    }
    switch (command[0]) {
        case kWriteStart: {
            if (!downloading_) {
                fail("write start without a download", command);
                return;
            }
            const std::uint32_t count = command[5] | command[6] << 8 | command[7] << 16;
            if (count != (file_.size() + 7) / 8 * 8)
                fail("write start announces another length", command);
            dataLeft_ = count / 8;
            dataIndex_ = 0;
            return;
        }
        case kBlockWrite:
            openBlockWrites_.push_back(command);
            if (openBlockWrites_.size() > kOpenBlockWritesKept) openBlockWrites_.pop_front();
            return;
        case kWriteEnd: {
            // A slider's Write end follows its Block write at once; a load's repeats its own
            // last one, even when slider changes or another load came in between.
            const auto match = std::find_if(
                openBlockWrites_.rbegin(), openBlockWrites_.rend(),
                [&command](const Command& write) { return sameBytes1to7(write, command); });
            if (match == openBlockWrites_.rend()) {
                fail("Write end repeats no Block write of the timing window", command);
                return;
            }
            openBlockWrites_.erase(std::prev(match.base()), openBlockWrites_.end());
            return;
        }
        default:
            return;
    }
}

}  // namespace kavo3::app::testing
