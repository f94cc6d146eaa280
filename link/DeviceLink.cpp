#include "link/DeviceLink.h"

#include <algorithm>
#include <cstdio>

#include "link/ProgramName.h"
#include "link/Protocol.h"
#include "link/Trace.h"

namespace kavo3::link {

bool isKavo3Identity(std::uint16_t vendorId, std::uint16_t productId) {
    return (vendorId == 0x17A7 && (productId == 0x0001 || productId == 0x0002)) ||
           (vendorId == 0x04D8 && productId == 0x0000);
}

DeviceLink::DeviceLink(Transport& transport, std::chrono::milliseconds readWait, Trace* trace,
                       UnitLedger* ledger)
    : transport_(transport),
      readWait_(readWait),
      trace_(trace),
      ledger_(ledger ? ledger : &UnitLedger::process()) {}

DeviceLink::~DeviceLink() = default;

void DeviceLink::note(const std::string& text) {
    if (trace_) trace_->note(text);
}

static std::string hex4(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", v);
    return buf;
}

bool DeviceLink::OpenDevice() {
    found_ = false;
    DeviceHandle.reset();
    ReadHandle.reset();
    std::string problemBefore = unitProblem_;
    unitProblem_.clear();

    const std::vector<InterfaceEntry> interfaces = transport_.listInterfaces();
    note("search: " + std::to_string(interfaces.size()) + " HID interface(s)");
    for (const InterfaceEntry& entry : interfaces) {
        if (tryInterface(entry)) {
            found_ = true;
            break;
        }
    }
    if (!found_) note("search: no unit found");
    if (unitProblem_ != problemBefore && problemListener_) problemListener_(unitProblem_);
    if (found_) settleDebts();
    return found_;
}

void DeviceLink::setProblem(std::string text) {
    unitProblem_ = std::move(text);
    note(unitProblem_);
    // Every write searches while the unit is away; the user needs to read it once.
    if (unitProblem_ != problemOnStderr_) {
        const std::string& program = programName();
        std::fprintf(stderr, "%s%s%s\n", program.c_str(), program.empty() ? "" : ": ",
                     unitProblem_.c_str());
        problemOnStderr_ = unitProblem_;
    }
}

void DeviceLink::openRefused(const InterfaceEntry& entry, OpenError error) {
    const bool listedAsUnit =
        entry.listedIdentity &&
        isKavo3Identity(entry.listedIdentity->VendorID, entry.listedIdentity->ProductID);
    if (error == OpenError::Busy) {
        // Opened by another program: nothing of ours may go between its reports.
        const std::optional<long> holder = transport_.holderOf(entry.path);
        setProblem("The KAVO-3 at " + entry.path + " is in use by another program" +
                   (holder ? " (PID " + std::to_string(*holder) + ")" : std::string()) +
                   ": close that program or wait until it has finished, then try again.");
    } else if (error == OpenError::NotPermitted && listedAsUnit) {
        setProblem("The KAVO-3 at " + entry.path + " cannot be opened: permission denied. " +
                   transport_.permissionHint());
    } else {
        note(entry.path + ": cannot be opened, passed over");
    }
}

bool DeviceLink::tryInterface(const InterfaceEntry& entry) {
    // What the system lists decides first: other devices are never opened.
    if (entry.listedIdentity &&
        !isKavo3Identity(entry.listedIdentity->VendorID, entry.listedIdentity->ProductID)) {
        note(entry.path + ": " + hex4(entry.listedIdentity->VendorID) + ":" +
             hex4(entry.listedIdentity->ProductID) + " is not a unit, passed over unopened");
        return false;
    }
    if (entry.listedCaps && (entry.listedCaps->OutputReportByteLength < kMinOutputReportLength ||
                             entry.listedCaps->InputReportByteLength < kMinInputReportLength)) {
        note(entry.path + ": unit with reports too short (in " +
             std::to_string(entry.listedCaps->InputReportByteLength) + ", out " +
             std::to_string(entry.listedCaps->OutputReportByteLength) + "), passed over unopened");
        return false;
    }

    OpenError error = OpenError::None;
    std::unique_ptr<HidHandle> handle = transport_.open(entry.path, error);
    if (!handle) {
        openRefused(entry, error);
        return false;
    }

    const std::optional<HidAttributes> attributes = handle->attributes();
    if (!attributes) {
        note(entry.path + ": no attributes, passed over");
        return false;
    }
    if (!isKavo3Identity(attributes->VendorID, attributes->ProductID)) {
        note(entry.path + ": " + hex4(attributes->VendorID) + ":" + hex4(attributes->ProductID) +
             " is not a unit");
        return false;
    }

    const std::optional<HidCaps> caps = handle->capabilities();
    if (!caps) {
        note(entry.path + ": unit without readable report lengths, passed over");
        return false;
    }
    if (caps->OutputReportByteLength < kMinOutputReportLength ||
        caps->InputReportByteLength < kMinInputReportLength) {
        note(entry.path + ": unit with reports too short (in " +
             std::to_string(caps->InputReportByteLength) + ", out " +
             std::to_string(caps->OutputReportByteLength) + "), passed over");
        return false;
    }

    std::unique_ptr<HidHandle> readHandle = transport_.open(entry.path, error);
    if (!readHandle) {
        note(entry.path + ": second open for reading failed, passed over");
        return false;
    }

    DeviceHandle = std::move(handle);
    ReadHandle = std::move(readHandle);
    problemOnStderr_.clear();
    DeviceCaps = *caps;
    DeviceAttributes = *attributes;
    devicePath_ = entry.path;
    unitKey_ = link::unitKey(transport_.portPathOf(entry.path), entry.path, *attributes,
                             transport_.serialOf(entry.path));
    attachment_ = ++attachments_;
    note("unit " + hex4(attributes->VendorID) + ":" + hex4(attributes->ProductID) + " at " +
         entry.path + ", reports in " + std::to_string(caps->InputReportByteLength) + " out " +
         std::to_string(caps->OutputReportByteLength) + ", attachment " +
         std::to_string(attachment_));
    return true;
}

Attachment DeviceLink::attach() {
    if (!found_ && !lostWhileHeld_ && !held_) OpenDevice();
    return attachment();
}

bool DeviceLink::WriteReport(const Command& bytes, Meant meant, Attachment to) {
    // Kept whatever becomes of it, as the caller meant it to be the last command.
    if (meant != Meant::Probe && !protocol::isStatusPoll(bytes)) CommandBytes = bytes;
    if (refusedWhileHeld("output report")) return false;
    lastWriteTaken_ = false;
    unansweredNoted_ = false;
    if (to == kNoAttachment || attachment() != to) {
        note("attachment " + std::to_string(to) + " is not open: report not sent");
        return false;
    }
    return send(bytes, meant);
}

bool DeviceLink::send(const Command& bytes, Meant meant) {
    outputReport_.assign(DeviceCaps.OutputReportByteLength, 0);
    std::copy(bytes.begin(), bytes.end(), outputReport_.begin() + 1);

    // An answer that came after its wait must not pass for the answer to this command.
    ReadHandle->discardQueuedInput();
    if (trace_) trace_->output(outputReport_);
    DeviceHandle->meantAs(meant);
    const WriteStatus status = DeviceHandle->write(outputReport_);
    if (status == WriteStatus::Taken) {
        lastWriteTaken_ = true;
        return true;
    }
    note("write refused: " + DeviceHandle->failureText());
    if (status == WriteStatus::Stalled) {
        // Only a replug clears it: whatever the unit is owed goes to the attachment after.
        ledger_->unitLeft(unitKey_);
        setProblem("The KAVO-3 at " + devicePath_ +
                   " takes no more reports (its USB endpoint stalls): unplug it and plug it in "
                   "again.");
        if (problemListener_) problemListener_(unitProblem_);
    }
    if (status == WriteStatus::Gone) unitGone();
    return false;
}

Reply DeviceLink::zeroReply() {
    std::fill(ReadBuffer.begin(), ReadBuffer.end(), 0);
    return {};
}

Reply DeviceLink::readAnswer() {
    if (!found_ || !ReadHandle) {
        ReadBuffer.assign(kMinInputReportLength, 0);
        if (trace_) trace_->noReport();
        return {};
    }
    ReadBuffer.assign(DeviceCaps.InputReportByteLength, 0);
    if (!lastWriteTaken_) {
        // Nothing reached the unit, so no answer can come: waiting would only hold the caller.
        if (trace_) trace_->noReport();
        if (!unansweredNoted_) note("read: not waited for, the write before it was not taken");
        unansweredNoted_ = true;
        return {};
    }
    const ReadStatus status = ReadHandle->read(ReadBuffer, readWait_);
    if (status == ReadStatus::Report) {
        if (trace_) trace_->input(ReadBuffer);
        Reply reply{true, attachment_, {}};
        const std::size_t n = std::min(reply.bytes.size(), ReadBuffer.size() - 1);
        std::copy_n(ReadBuffer.begin() + 1, n, reply.bytes.begin());
        return reply;
    }
    // Whatever a failed read may have left behind is not an answer.
    if (trace_) trace_->noReport();
    const Reply none = zeroReply();
    if (status == ReadStatus::Timeout) return none;
    note("read failed: " + ReadHandle->failureText());
    if (status == ReadStatus::Gone) unitGone();
    return none;
}

Reply DeviceLink::ReadReport(Attachment from) {
    if (refusedWhileHeld("read")) return zeroReply();
    if (from != kNoAttachment && attachment() == from) return readAnswer();
    ReadBuffer.assign(found_ ? DeviceCaps.InputReportByteLength : kMinInputReportLength, 0);
    if (trace_) trace_->noReport();
    return {};
}

void DeviceLink::unitGone() {
    // No answer can come from a device that has left; waiting for one would only hold the
    // caller. Until a write finds the unit again, reads end at once with zeros.
    note("unit at " + devicePath_ + " is gone: both handles closed, the next write searches again");
    ledger_->unitLeft(unitKey_);
    close();
    if (held_) {
        // A unit plugged in again would take the rest of the held reports (raw data) for
        // commands; the search waits until the hold has ended.
        lostWhileHeld_ = true;
        note("link held: no search until the hold ends");
    }
}

void DeviceLink::close() {
    DeviceHandle.reset();
    ReadHandle.reset();
    found_ = false;
    unitKey_.clear();
}

}  // namespace kavo3::link
