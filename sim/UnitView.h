// The unit's own view of the wire, kept per attachment (each time it is plugged in), and the
// checks that must hold whatever the host does:
// - a report meant as data arrives only inside a write start taken on the same attachment,
//   within its count;
// - a report meant as a command arrives only while the unit takes commands;
// - a Block write or Write end goes only to addresses that this attachment reported in an
//   answer since its Timing access start.
// Every check that fails is also recorded process-wide, so that a test harness can fail the
// test it happened in (takeViolations).
#pragma once

#include <bitset>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "link/Transport.h"

namespace kavo3::sim {

// What an answer reported: the code of the command it answers and, for a block read, the
// unit address it began at.
struct AnswerTag {
    std::uint8_t code = 0;
    std::uint16_t address = 0;
};

class UnitView {
  public:
    // What one attachment sent and was answered with.
    struct Attachment {
        long commands = 0, dataReports = 0, probes = 0;
        long answersDelivered = 0;
        bool timingStarted = false;
        std::bitset<0x10000> reported;  // addresses reported since the Timing access start
    };

    // Before the unit takes the report (the eight bytes after the ID). `takingData` says
    // whether the unit now takes every report as data.
    void reportArrives(int attachment, std::span<const std::uint8_t, 8> bytes, link::Meant meant,
                       bool takingData);
    // After it took it: whether a data phase began with it.
    void reportTaken(int attachment, bool dataPhaseBegan);
    // An answer the host read from `attachment`.
    void answerDelivered(int attachment, const AnswerTag& tag);

    const std::map<int, Attachment>& attachments() const { return attachments_; }
    // Off: the view still records, but finds nothing wrong (to show what its checks catch).
    void setChecking(bool on) { checking_ = on; }
    // Checks that failed on this unit, the first ones in words.
    long violationCount() const { return violations_; }
    const std::vector<std::string>& violations() const { return said_; }

  private:
    void violation(int attachment, const std::string& what, std::span<const std::uint8_t, 8> bytes);

    std::map<int, Attachment> attachments_;
    int dataOwner_ = 0;  // the attachment whose write start the unit takes data for
    long violations_ = 0;
    bool checking_ = true;
    std::vector<std::string> said_;
};

// Every check that failed on any simulated unit of this process since the last call, in words
// (the first ones only, with a count of the rest); clears the record.
std::vector<std::string> takeViolations();

}  // namespace kavo3::sim
