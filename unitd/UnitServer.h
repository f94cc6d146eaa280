// One simulated unit on a real bus: what the host wrote comes in as output reports, the unit's
// answers go out as input reports when the bus can take them. Which bus (a gadget's /dev/hidgN,
// /dev/uhid) is the caller's business; this keeps the unit, its record and its summary.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <optional>
#include <span>
#include <string>

#include "sim/SimulatedUnit.h"

namespace kavo3::unitd {

using Clock = std::chrono::steady_clock;

class UnitServer {
  public:
    // `record`, when given, gets one line per report that went over the bus (the caller flushes
    // it), as the host's trace writes them: "<ms> OUT <ID byte and 8 bytes>", "<ms> IN <ID byte and 64 bytes>".
    explicit UnitServer(const sim::SimOptions& options, std::FILE* record = nullptr);

    // One output report from the host; `withIdByte` says whether the bus kept the report ID
    // (uhid does; a gadget's endpoint carries the report without it). Not taken while an answer
    // waits for the bus: a unit with one buffer reads the next report once it has sent.
    void reportFromHost(std::span<const std::uint8_t> report, bool withIdByte);
    bool readyForReport() const { return outbox_.empty(); }

    // A host program opened the unit or let it go (uhid says so; a gadget cannot tell).
    // Each opening is one attachment to the unit's view.
    void hostOpened();
    void hostClosed();
    int attachments() const { return attachment_; }

    // The next answer for the bus, and that the bus took it.
    const sim::Answer* nextAnswer() const { return outbox_.empty() ? nullptr : &outbox_.front(); }
    void answerSent();
    // The bus lost what it had not sent (the host went away).
    void dropAnswers() { outbox_.clear(); }

    // With unplug=N: the N-th output report has come, and the unit is to leave the bus now
    // (its answers to it are lost). unplugged() once it has; with replug=MS it is due back then.
    bool unplugDue() const { return unplugDue_; }
    void unplugged();
    std::optional<Clock::time_point> replugDue() const { return replugDue_; }
    void pluggedBackIn();
    bool present() const { return present_; }

    // Answers the late switch holds back come after the host's wait; when that is.
    std::optional<Clock::time_point> lateAnswersDue() const { return lateDue_; }
    void lateAnswersArrive();

    const sim::SimulatedUnit& unit() const { return unit_; }
    // What the unit received and is left in, and every check of its view that failed.
    std::string summary() const;
    bool viewFoundFaults() const { return unit_.view().violationCount() > 0; }

  private:
    void collectAnswers();
    void writeRecord(const char* direction, std::span<const std::uint8_t> bytes);

    sim::SimulatedUnit unit_;
    std::FILE* record_;
    Clock::time_point start_ = Clock::now();
    std::deque<sim::Answer> outbox_;
    std::optional<Clock::time_point> lateDue_;
    int attachment_ = 1;
    int opens_ = 0;
    bool unplugDue_ = false;
    bool present_ = true;
    std::optional<Clock::time_point> replugDue_;
    int unplugs_ = 0;
    long reportsIn_ = 0, answersOut_ = 0, ignored_ = 0;
};

// The host's wait for an answer; a late answer comes just after it.
inline constexpr std::chrono::milliseconds kLateAnswerDelay{1100};

}  // namespace kavo3::unitd
