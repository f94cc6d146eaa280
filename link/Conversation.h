// One sequence's talk with the unit (a connection check, a timing window, a download, a
// capture, a key press, a kavo3cli run): every report goes to the attachment the sequence
// began with, and it keeps count of whether everything was taken and answered there.
#pragma once

#include <string>

#include "link/DeviceLink.h"
#include "link/LinkHold.h"

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

    // One output report to the conversation's attachment; true when it was taken.
    bool send(const Command& bytes, Meant meant = Meant::Command) {
        bool taken = link_.WriteReport(bytes, meant, attachment_);
        if (!taken && !begun_ && attachment_ != kNoAttachment && !live()) {
            // The unit left before the first report of the sequence, which nothing of it has
            // reached: the sequence begins afresh with the unit attached now, if there is one.
            attachment_ = link_.attach();
            unit_ = link_.unitKey();
            taken = link_.WriteReport(bytes, meant, attachment_);
        }
        return counted(taken);
    }
    // The next answer of the attachment; no answer (all bytes 0) when none came from it.
    Reply read() {
        Reply reply = link_.ReadReport(attachment_);
        reply.answered = reply.from(attachment_);
        whole_ = whole_ && reply.answered;
        return reply;
    }
    // The same through the hold on the link that the sequence took (link/LinkHold.h).
    bool send(DeviceLink::Hold& hold, const Command& bytes, Meant meant) {
        return counted(hold.WriteReport(bytes, meant, attachment_));
    }
    Reply read(DeviceLink::Hold& hold) {
        Reply reply = hold.ReadReport(attachment_);
        reply.answered = reply.from(attachment_);
        whole_ = whole_ && reply.answered;
        return reply;
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
        if (ledger().owes(unit_)) link_.close();
        return false;
    }

    // send, then read: the reply, answered only when the report was taken and answered.
    Reply exchange(const Command& bytes) {
        const bool taken = send(bytes);
        Reply reply = read();
        reply.answered = reply.answered && taken;
        return reply;
    }

    // The last command's bytes with a new code (and first parameter): the bytes a command
    // leaves unset go out as the last command left them.
    Command following(std::uint8_t code) const {
        Command bytes = link_.lastCommand();
        bytes[0] = code;
        return bytes;
    }
    Command following(std::uint8_t code, std::uint8_t first) const {
        Command bytes = following(code);
        bytes[1] = first;
        return bytes;
    }

  private:
    bool counted(bool wentThrough) {
        begun_ = true;
        whole_ = whole_ && wentThrough;
        return wentThrough;
    }

    DeviceLink& link_;
    Attachment attachment_;
    std::string unit_;
    bool begun_ = false;  // a report of the sequence has been sent, or tried
    bool whole_ = true;
};

}  // namespace kavo3::link
