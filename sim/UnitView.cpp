#include "sim/UnitView.h"

#include <cstdio>
#include <mutex>

#include "sim/CommandCodes.h"

namespace kavo3::sim {
namespace {

constexpr std::size_t kBlockReadBytes = 8;
constexpr std::size_t kBlockWriteBytes = 4;

// A run that goes wrong once often goes wrong for every report after; the first say enough.
constexpr std::size_t kViolationsInWords = 20;

struct Record {
    std::mutex mutex;
    std::vector<std::string> said;
    long unsaid = 0;
};

Record& processRecord() {
    static Record record;
    return record;
}

std::string hexBytes(std::span<const std::uint8_t, 8> bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

const char* meantWord(link::Meant meant) {
    switch (meant) {
        case link::Meant::Command:
            return "command";
        case link::Meant::Data:
            return "data report";
        case link::Meant::Probe:
            return "probe";
    }
    return "report";
}

}  // namespace

void UnitView::reportArrives(int attachment, std::span<const std::uint8_t, 8> bytes,
                             link::Meant meant, bool takingData) {
    Attachment& a = attachments_[attachment];
    switch (meant) {
        case link::Meant::Probe:
            ++a.probes;
            return;
        case link::Meant::Data:
            ++a.dataReports;
            if (!takingData || dataOwner_ != attachment)
                violation(attachment, "data report outside a write start taken on it", bytes);
            return;
        case link::Meant::Command:
            ++a.commands;
            break;
    }
    if (takingData) {
        violation(attachment, std::string(meantWord(meant)) + " while the unit takes data", bytes);
        return;
    }
    const auto address = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
    switch (bytes[0]) {
        case Cmd::TimingAccess:
            if (bytes[1] == 1) {
                a.timingStarted = true;
                a.reported.reset();
            }
            break;
        case Cmd::BlockWrite:
        case Cmd::WriteEnd: {
            bool known = a.timingStarted;
            for (std::size_t j = 0; known && j < kBlockWriteBytes; ++j)
                known = a.reported.test(static_cast<std::uint16_t>(address + j));
            if (!known)
                violation(attachment,
                          "write to addresses not reported on it since its Timing access start",
                          bytes);
            break;
        }
        default:
            break;
    }
}

void UnitView::reportTaken(int attachment, bool dataPhaseBegan) {
    if (dataPhaseBegan) dataOwner_ = attachment;
}

void UnitView::answerDelivered(int attachment, const AnswerTag& tag) {
    Attachment& a = attachments_[attachment];
    ++a.answersDelivered;
    if (tag.code == Cmd::BlockRead && a.timingStarted) {
        for (std::size_t j = 0; j < kBlockReadBytes; ++j)
            a.reported.set(static_cast<std::uint16_t>(tag.address + j));
    }
}

void UnitView::violation(int attachment, const std::string& what,
                         std::span<const std::uint8_t, 8> bytes) {
    if (!checking_) return;
    ++violations_;
    Record& record = processRecord();
    const std::lock_guard lock(record.mutex);
    if (said_.size() >= kViolationsInWords && record.said.size() >= kViolationsInWords) {
        ++record.unsaid;
        return;
    }
    const std::string text = "simulated unit, attachment " + std::to_string(attachment) + ": " +
                             what + " [" + hexBytes(bytes) + "]";
    if (said_.size() < kViolationsInWords) said_.push_back(text);
    if (record.said.size() < kViolationsInWords)
        record.said.push_back(text);
    else
        ++record.unsaid;
}

std::vector<std::string> takeViolations() {
    Record& record = processRecord();
    const std::lock_guard lock(record.mutex);
    std::vector<std::string> out = std::move(record.said);
    record.said.clear();
    if (record.unsaid > 0) out.push_back("... and " + std::to_string(record.unsaid) + " more");
    record.unsaid = 0;
    return out;
}

}  // namespace kavo3::sim
