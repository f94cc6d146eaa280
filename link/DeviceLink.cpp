#include "link/DeviceLink.h"

#include <algorithm>
#include <cstdio>

#include "link/ProgramName.h"
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

bool DeviceLink::WriteReport(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                             std::uint8_t b4, std::uint8_t b5, std::uint8_t b6, std::uint8_t b7) {
    return WriteReport(Command{b0, b1, b2, b3, b4, b5, b6, b7});
}

Attachment DeviceLink::attach() {
    if (!found_ && !lostWhileHeld_ && !held_) OpenDevice();
    return attachment();
}

bool DeviceLink::WriteReport(const Command& bytes, Meant meant) {
    if (refusedWhileHeld("output report")) return false;
    lastWriteTaken_ = false;
    unansweredNoted_ = false;
    if (!found_ && !lostWhileHeld_) OpenDevice();
    if (!found_) return false;
    return send(bytes, meant);
}

bool DeviceLink::WriteReport(const Command& bytes, Meant meant, Attachment to) {
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

ReadResult DeviceLink::noAnswer() {
    ReadBuffer.assign(found_ ? DeviceCaps.InputReportByteLength : kMinInputReportLength, 0);
    if (trace_) trace_->noReport();
    lastRead_ = {};
    return lastRead_;
}

ReadResult DeviceLink::ReadReport() {
    if (refusedWhileHeld("read")) {
        std::fill(ReadBuffer.begin(), ReadBuffer.end(), 0);
        lastRead_ = {};
        return lastRead_;
    }
    if (!found_ || !ReadHandle) return noAnswer();
    ReadBuffer.assign(DeviceCaps.InputReportByteLength, 0);
    if (!lastWriteTaken_) {
        // Nothing reached the unit, so no answer can come: waiting would only hold the caller.
        if (trace_) trace_->noReport();
        if (!unansweredNoted_) note("read: not waited for, the write before it was not taken");
        unansweredNoted_ = true;
        lastRead_ = {};
        return lastRead_;
    }
    const ReadStatus status = ReadHandle->read(ReadBuffer, readWait_);
    if (status == ReadStatus::Report) {
        if (trace_) trace_->input(ReadBuffer);
        lastRead_ = {true, attachment_};
        return lastRead_;
    }
    // Whatever a failed read may have left behind is not an answer.
    std::fill(ReadBuffer.begin(), ReadBuffer.end(), 0);
    if (trace_) trace_->noReport();
    lastRead_ = {};
    if (status == ReadStatus::Timeout) return lastRead_;
    note("read failed: " + ReadHandle->failureText());
    if (status == ReadStatus::Gone) unitGone();
    return lastRead_;
}

ReadResult DeviceLink::ReadReport(Attachment from) {
    if (from != kNoAttachment && attachment() == from) return ReadReport();
    if (refusedWhileHeld("read")) {
        std::fill(ReadBuffer.begin(), ReadBuffer.end(), 0);
        lastRead_ = {};
        return lastRead_;
    }
    return noAnswer();
}

void DeviceLink::unitGone() {
    // No answer can come from a device that has left; waiting for one would only hold the
    // caller. Until a write finds the unit again, reads end at once with zeros.
    note("unit at " + devicePath_ + " is gone: both handles closed, the next write searches again");
    ledger_->unitLeft(unitKey_);
    Close();
    if (held_) {
        // A unit plugged in again would take the rest of the held reports (raw data) for
        // commands; the search waits until the hold has ended.
        lostWhileHeld_ = true;
        note("link held: no search until the hold ends");
    }
}

void DeviceLink::Close() {
    DeviceHandle.reset();
    ReadHandle.reset();
    found_ = false;
    unitKey_.clear();
}

}  // namespace kavo3::link
