// The device link: finds the unit, keeps its handles and moves one command report
// out and one input report in at a time. It never shows anything and never throws;
// a missing unit or a lost answer ends in zero response bytes.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Report.h"
#include "link/Transport.h"
#include "link/UnitLedger.h"

namespace kavo3::link {

class Trace;

// Identities the unit answers to.
bool isKavo3Identity(std::uint16_t vendorId, std::uint16_t productId);

// Shortest reports the protocol can live with (ID byte included).
inline constexpr std::uint16_t kMinOutputReportLength = 9;
inline constexpr std::uint16_t kMinInputReportLength = 65;

class DeviceLink {
  public:
    static constexpr std::chrono::milliseconds kReadWait{1000};

    explicit DeviceLink(Transport& transport, std::chrono::milliseconds readWait = kReadWait,
                        Trace* trace = nullptr, UnitLedger* ledger = nullptr);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Searches the HID interfaces from the first one on; the first unit found wins.
    bool OpenDevice();
    bool DeviceFound() const { return found_; }

    // The attachment open now; kNoAttachment while the unit is not open.
    Attachment attachment() const { return found_ ? attachment_ : kNoAttachment; }
    // The attachment a sequence is to talk to: the open one, or the one a search opens now.
    Attachment attach();

    // Sends one output report: ID 0, the eight bytes, zeros to the declared length, only
    // while `to` is the open attachment; it never searches, so that nothing of a sequence
    // reaches a unit that came back. True when the platform took the report. Every command
    // and data report sent is kept as the last command (lastCommand()), the status poll
    // excepted.
    bool WriteReport(const Command& bytes, Meant meant, Attachment to);

    // Waits for the next input report from attachment `from`. No answer (all bytes 0) at
    // once when another attachment (or none) is open, or when the write before it was not
    // taken. When the platform says that the unit has left, both handles are closed and
    // DeviceFound becomes false: the next search finds it again.
    Reply ReadReport(Attachment from);

    // The command bytes sent last; commands that leave some bytes unset send these.
    const Command& lastCommand() const { return CommandBytes; }

    // A caller that must not be interrupted (a download's data phase) holds the link
    // (link/LinkHold.h): meanwhile every write or read made other than through the hold is
    // refused, never sent, as one thread cannot wait for the hold to end.
    class Hold;
    [[nodiscard]] Hold hold();
    bool held() const { return held_; }
    // Runs `command` now, or once the hold has ended while the link is held.
    void runWhenFree(std::function<void()> command);

    // What each unit is in the middle of (link/UnitLedger.h): the process's ledger unless
    // the link was given one. A search that opens a unit which owes something settles that
    // first, before anything else is sent to it; a unit that owes nothing gets nothing.
    UnitLedger& ledger() { return *ledger_; }
    // The unit open now, as the ledger knows it; empty while none is.
    const std::string& unitKey() const { return unitKey_; }
    // Whether the units of this link outlive the program, so that their debts go into the
    // state file too.
    bool unitsOutliveProgram() const { return transport_.unitsOutliveProgram(); }
    // Told when a search settled a unit that a program before this one left owing something.
    void setNoticeListener(std::function<void(const std::string&)> listener) {
        noticeListener_ = std::move(listener);
    }

    // Closes both handles; a later write searches again.
    void close();

    // What keeps a listed unit from being used that the user can mend, and how: no permission
    // to open it, another program holding it (both set by the latest search), or an endpoint
    // that stalls (set by the write that met it). Empty when there is none. It also goes to
    // the trace and, once per text, to standard error.
    const std::string& unitProblem() const { return unitProblem_; }
    // Told of every change of unitProblem(), so that a window can show it while it lasts.
    void setProblemListener(std::function<void(const std::string&)> listener) {
        problemListener_ = std::move(listener);
    }

    std::chrono::milliseconds readWait() const { return readWait_; }
    const std::string& DevicePath() const { return devicePath_; }

    // Of the unit found by the latest search.
    const HidCaps& caps() const { return DeviceCaps; }
    const HidAttributes& attributes() const { return DeviceAttributes; }

  private:
    Reply readAnswer();
    Reply zeroReply();
    bool tryInterface(const InterfaceEntry& entry);
    void openRefused(const InterfaceEntry& entry, OpenError error);
    void setProblem(std::string text);
    void unitGone();
    void note(const std::string& text);
    bool refusedWhileHeld(const char* what);
    bool send(const Command& bytes, Meant meant);
    void settleDebts();
    bool settleData(UnitDebt& debt);
    bool settleExchange(const Command& bytes, Meant meant);
    bool answerQueued();

    Transport& transport_;
    std::chrono::milliseconds readWait_;
    Trace* trace_;
    bool found_ = false;
    Attachment attachment_ = kNoAttachment;
    Attachment attachments_ = 0;  // openings so far; each one's identity is its number
    Command CommandBytes{};
    std::vector<std::uint8_t> ReadBuffer = std::vector<std::uint8_t>(kMinInputReportLength, 0);
    HidCaps DeviceCaps{};
    HidAttributes DeviceAttributes{};
    std::unique_ptr<HidHandle> DeviceHandle;
    std::unique_ptr<HidHandle> ReadHandle;
    std::string devicePath_;
    std::string unitProblem_;
    std::string problemOnStderr_;  // the problem last told on standard error
    std::function<void(const std::string&)> problemListener_;
    bool lastWriteTaken_ = true;
    bool unansweredNoted_ = false;  // the trace said why reads after it are not waited for
    std::vector<std::uint8_t> outputReport_;
    bool held_ = false;
    bool holderActing_ = false;   // the current write or read comes through the hold
    bool lostWhileHeld_ = false;  // the unit left during the hold: no search until it ends
    std::vector<std::function<void()>> whenFree_;
    UnitLedger* ledger_;
    std::string unitKey_;
    std::function<void(const std::string&)> noticeListener_;
};

}  // namespace kavo3::link
