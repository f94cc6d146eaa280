// A unit found by a search that owes something is settled before anything else reaches it:
// the rest of a download's data as erased bytes, Timing access end, Freeze off.
#include <cstdio>
#include <string>

#include "link/DeviceLink.h"
#include "link/ProgramName.h"
#include "link/Protocol.h"
#include "link/Trace.h"

namespace kavo3::link {

namespace {

constexpr Command kConnectionCheckReport = protocol::plain(protocol::kConnectionCheck);

}  // namespace

bool DeviceLink::settleExchange(const Command& bytes, Meant meant) {
    if (!send(bytes, meant)) return false;
    readAnswer();
    return found_;
}

bool DeviceLink::answerQueued() {
    // A look without a wait: the unit answers the last report of a write start's count.
    ReadBuffer.assign(DeviceCaps.InputReportByteLength, 0);
    if (ReadHandle->read(ReadBuffer, std::chrono::milliseconds(0)) != ReadStatus::Report)
        return false;
    if (trace_) trace_->input(ReadBuffer);
    return true;
}

bool DeviceLink::settleData(UnitDebt& debt) {
    // Restarted, the unit takes commands again; kept its state, it still counts data. The
    // probe tells which: a command answered at once, or the next data report, unanswered
    // unless it was the last.
    if (!send(kConnectionCheckReport, Meant::Probe)) return false;
    ++debt.dataSent;
    if (readAnswer().answered || debt.dataOwed() == 0) {
        debt.dataAnnounced = debt.dataSent = 0;
        return true;
    }
    if (!found_) return false;
    while (debt.dataOwed() > 0) {
        if (!send(protocol::kErasedData, Meant::Probe)) return false;
        ++debt.dataSent;
        // It answered its last data report: the host's count, from a state file, may be long.
        if (debt.dataOwed() > 0 && answerQueued()) break;
        if (debt.dataOwed() == 0) readAnswer();
    }
    debt.dataAnnounced = debt.dataSent = 0;
    return found_;
}

void DeviceLink::settleDebts() {
    const bool outlives = unitsOutliveProgram();
    const std::optional<UnitDebt> left = outlives ? ledger_->leftInStateFile(unitKey_) : std::nullopt;
    const bool fromEarlierProgram = left && ledger_->debt(unitKey_).dataOwed() == 0;
    if (!ledger_->owes(unitKey_) && !left) return;
    UnitDebt debt = ledger_->take(unitKey_, outlives);
    const std::string key = unitKey_;
    const std::uint32_t owed = debt.dataOwed();

    std::string said = "The KAVO-3 at " + devicePath_ + " was left";
    if (owed > 0)
        said += " in the middle of a download's data (" +
                std::string(fromEarlierProgram ? "up to " : "") + std::to_string(owed) +
                " data reports owed, sent as erased bytes)";
    if (debt.timingOpen) said += std::string(owed ? "," : "") + " with its timing access open";
    if (debt.frozen) said += std::string(owed || debt.timingOpen ? "," : "") + " frozen";
    said += fromEarlierProgram ? " by a program that could not finish" : "";
    said += "; settled before anything else is sent to it.";
    note(said);

    bool settled = true;
    if (owed > 0) settled = settleData(debt);
    // A Write end owed carries bytes read from the attachment before: a unit that left and
    // came back gets none of them, and its timing access is only closed. One that never left
    // (the link let go of it) still completes its Block write.
    if (settled && debt.writeEndOwed && !debt.left) settled = settleExchange(debt.writeEnd, Meant::Command);
    debt.writeEndOwed = false;
    if (settled && debt.timingOpen) {
        settled = settleExchange(protocol::plain(protocol::kTimingAccess), Meant::Command);
        if (settled) debt.timingOpen = false;
    }
    if (settled && debt.frozen) {
        settled = settleExchange(protocol::plain(protocol::kFreeze), Meant::Command);
        if (settled) debt.frozen = false;
    }
    debt.checksumRequested = false;  // a new request replaces it; nothing to send
    // Gone again in the middle: the rest waits for its next search.
    ledger_->putBack(key, debt, outlives);
    if (!settled) {
        note("the unit left while it was settled; the rest waits until it is back");
        return;
    }
    note("settled");
    if (fromEarlierProgram) {
        const std::string& program = programName();
        std::fprintf(stderr, "%s%s%s\n", program.c_str(), program.empty() ? "" : ": ",
                     said.c_str());
        if (noticeListener_) noticeListener_(said);
    }
}

}  // namespace kavo3::link
