#include "unitd/UnitServer.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kavo3::unitd {

UnitServer::UnitServer(const sim::SimOptions& options, std::FILE* record)
    : unit_(options), record_(record) {}

void UnitServer::reportFromHost(std::span<const std::uint8_t> report, bool withIdByte) {
    // The unit's report as the host wrote it: ID byte 0, the eight bytes, no more.
    std::array<std::uint8_t, 9> written{};
    const std::span<const std::uint8_t> body = withIdByte ? report.subspan(report.empty() ? 0 : 1)
                                                          : report;
    if ((withIdByte && (report.empty() || report[0] != 0)) || body.size() < 8) {
        ++ignored_;
        writeRecord("OUT", report);
        return;
    }
    std::copy_n(body.begin(), 8, written.begin() + 1);
    ++reportsIn_;
    writeRecord("OUT", written);
    // On the bus nothing says what the host meant a report as; the unit takes it as what it
    // expects, and its view still checks the addresses and the order of the commands.
    const link::Meant meant = unit_.flashWriteRunning() ? link::Meant::Data : link::Meant::Command;
    unit_.receive(written, meant, attachment_);
    collectAnswers();
    if (unit_.answersUnderWay() > 0 && !lateDue_) lateDue_ = Clock::now() + kLateAnswerDelay;
    if (unit_.options().unplugAfter == reportsIn_) unplugDue_ = true;
}

void UnitServer::unplugged() {
    unplugDue_ = false;
    present_ = false;
    dropAnswers();
    unit_.discardAnswers();
    lateDue_.reset();
    ++unplugs_;
    if (unit_.options().replugAfterMs >= 0)
        replugDue_ = Clock::now() + std::chrono::milliseconds(unit_.options().replugAfterMs);
}

void UnitServer::pluggedBackIn() {
    replugDue_.reset();
    present_ = true;
    if (unit_.options().replugRestarts) unit_.restart();
    // Whatever the host opens now is another attachment.
    ++attachment_;
    opens_ = 0;
}

void UnitServer::hostOpened() {
    if (opens_++ > 0) ++attachment_;
}

void UnitServer::hostClosed() {
    // Answers nobody reads are lost with the host's queue.
    dropAnswers();
    unit_.discardAnswers();
}

void UnitServer::answerSent() {
    if (outbox_.empty()) return;
    std::array<std::uint8_t, 65> input{};
    std::copy(outbox_.front().begin(), outbox_.front().end(), input.begin() + 1);
    writeRecord("IN", input);
    outbox_.pop_front();
    ++answersOut_;
}

void UnitServer::lateAnswersArrive() {
    lateDue_.reset();
    unit_.lateAnswersArrive();
    collectAnswers();
}

void UnitServer::collectAnswers() {
    while (unit_.hasAnswer()) {
        outbox_.push_back(unit_.nextAnswer());
        unit_.popAnswer(attachment_);
    }
}

void UnitServer::writeRecord(const char* direction, std::span<const std::uint8_t> bytes) {
    if (!record_) return;
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
    std::fprintf(record_, "%lld %s", static_cast<long long>(ms), direction);
    for (std::uint8_t b : bytes) std::fprintf(record_, " %02x", b);
    std::fputc('\n', record_);
}

std::string UnitServer::summary() const {
    const sim::UnitView& view = unit_.view();
    long commands = 0, data = 0;
    for (const auto& [n, a] : view.attachments()) {
        commands += a.commands;
        data += a.dataReports;
    }
    std::string keys;
    for (std::uint8_t k : unit_.recordedKeys()) keys += (keys.empty() ? "" : " ") + std::to_string(k);

    std::vector<char> text(1024);
    const int n = std::snprintf(
        text.data(), text.size(),
        "reports received: %ld (commands %ld, data reports %ld), ignored %ld\n"
        "answers sent: %ld\n"
        "attachments: %d, unplugged %d times\n"
        "remote keys: %s\n"
        "timing commits: %d\n"
        "left in: %s%s%s%s\n",
        reportsIn_, commands, data, ignored_, answersOut_, attachment_, unplugs_,
        keys.empty() ? "none" : keys.c_str(), unit_.timingCommits(),
        unit_.flashWriteRunning() ? "flash write, " : "",
        unit_.timingAccessOpen() ? "timing access, " : "", unit_.frozen() ? "freeze, " : "",
        unit_.flashWriteRunning() || unit_.timingAccessOpen() || unit_.frozen() ? "" : "idle");
    std::string out(text.data(), static_cast<std::size_t>(std::max(n, 0)));
    if (out.ends_with(", \n")) out.replace(out.size() - 3, 3, "\n");
    out += "view: " + std::to_string(view.violationCount()) + " faults\n";
    for (const std::string& line : view.violations()) out += "  " + line + "\n";
    return out;
}

}  // namespace kavo3::unitd
