// One sequence's talk with the unit (a connection check, a timing window, a download, a
// capture, a key press, a kavo3cli run): every report goes to the attachment the sequence
// began with, and it keeps count of whether everything was taken and answered there.
#pragma once

#include <string>

#include "link/DeviceLink.h"

namespace kavo3::link {

class Conversation {
  public:
    // Begins with the open attachment, or with the one a search opens now.
    explicit Conversation(DeviceLink& link)
        : link_(link), attachment_(link.attach()), unit_(link.unitKey()) {}
    // Goes on with an attachment that an earlier sequence began with.
    Conversation(DeviceLink& link, Attachment attachment)
        : link_(link),
          attachment_(attachment),
          unit_(attachment == link.attachment() ? link.unitKey() : std::string()),
          begun_(true) {}

    DeviceLink& link() { return link_; }
    Attachment attachment() const { return attachment_; }
    // The unit the conversation is with, as the ledger knows it (empty: none).
    const std::string& unit() const { return unit_; }
    // What that unit is in the middle of; a sequence notes there what it leaves the unit in,
    // so that whatever ends it, the unit is settled.
    UnitLedger& ledger() { return link_.ledger(); }

    // The attachment is still the open one: the unit neither left nor came back meanwhile.
    bool live() const { return attachment_ != kNoAttachment && link_.attachment() == attachment_; }
    // Every report of the conversation was taken, and every read answered, by its
    // attachment; what it read can be relied on.
    bool whole() const { return whole_ && live(); }

    // One output report; CommandBytes keeps it as the record of the last command unless
    // `record` is false. True when it was taken.
    bool send(const Command& bytes, Meant meant = Meant::Command, bool record = true) {
        if (record) link_.CommandBytes = bytes;
        bool taken = link_.WriteReport(bytes, meant, attachment_);
        if (!taken && !begun_ && attachment_ != kNoAttachment && !live()) {
            // The unit left before the first report of the sequence, which nothing of it has
            // reached: the sequence begins afresh with the unit attached now, if there is one.
            attachment_ = link_.attach();
            unit_ = link_.unitKey();
            taken = link_.WriteReport(bytes, meant, attachment_);
        }
        begun_ = true;
        whole_ = whole_ && taken;
        return taken;
    }
    // One read; true when this attachment answered. ReadBuffer holds the answer, or zeros.
    bool read() {
        const bool answered = link_.ReadReport(attachment_).from(attachment_);
        whole_ = whole_ && answered;
        return answered;
    }
    // Counts a report or read made past the conversation (through a hold) with it.
    bool counted(bool wentThrough) {
        begun_ = true;
        whole_ = whole_ && wentThrough;
        return wentThrough;
    }
    // A report that settles the unit (Freeze 0, Write end, Timing access end): tried again
    // while the system refuses it and the unit is still there; still refused, the link lets go
    // of the unit, so that the next search that finds it settles what its ledger says first.
    // True when it was taken.
    bool sendClosing(const Command& bytes) {
        constexpr int kTries = 4;
        for (int i = 0; i < kTries; ++i) {
            if (send(bytes)) return true;
            // Held by a download's data phase, the link refused it, not the system: the unit is
            // as it was, and the caller sends it once the hold is over.
            if (!live() || link_.held()) return false;
        }
        if (ledger().owes(unit_)) link_.Close();
        return false;
    }

    // send, then read; true when both went through.
    bool exchange(const Command& bytes) {
        const bool taken = send(bytes);
        return read() && taken;
    }

    // CommandBytes with a new code (and first parameter), the rest as the last command left
    // them.
    Command following(std::uint8_t code) const {
        Command bytes = link_.CommandBytes;
        bytes[0] = code;
        return bytes;
    }
    Command following(std::uint8_t code, std::uint8_t first) const {
        Command bytes = following(code);
        bytes[1] = first;
        return bytes;
    }

  private:
    DeviceLink& link_;
    Attachment attachment_;
    std::string unit_;
    bool begun_ = false;  // a report of the sequence has been sent, or tried
    bool whole_ = true;
};

}  // namespace kavo3::link
