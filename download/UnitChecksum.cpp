#include "download/UnitChecksum.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <span>

#include "download/FileSum.h"
#include "link/Protocol.h"

namespace kavo3::download {

namespace {

// The download's settle wait between polls.
constexpr int kSettleTicks = 2;

UnitChecksum requestAndPoll(link::Conversation& talk, std::uint32_t address,
                            std::uint32_t length, const ChecksumPacing& pacing) {
    UnitChecksum out;
    if (!talk.send(link::protocol::checksumRequest(address, length))) {
        out.answer = talk.live() ? UnitChecksum::Answer::NotTaken : UnitChecksum::Answer::UnitGone;
        return out;
    }
    const auto deadline = std::chrono::steady_clock::now() + pacing.wait;
    for (;;) {
        pacing.settleWait(kSettleTicks);
        if (pacing.stopRequested && pacing.stopRequested()) {
            out.answer = UnitChecksum::Answer::Stopped;
            return out;
        }
        const link::Reply reply = talk.exchange(link::protocol::kStatusPollReport);
        if (!talk.live()) {
            out.answer = UnitChecksum::Answer::UnitGone;
            return out;
        }
        // A unit that leaves a poll unanswered is not about to say that its sum is ready.
        if (!reply.answered) return out;
        if (const auto status = link::protocol::checksumStatus(reply); status.ready) {
            out.answer = UnitChecksum::Answer::Ready;
            out.sum = status.sum;
            pacing.settleWait(kSettleTicks);
            return out;
        }
        if (std::chrono::steady_clock::now() >= deadline) return out;
    }
}

}  // namespace

UnitChecksum askUnitChecksum(link::Conversation& talk, std::uint32_t address, std::uint32_t length,
                             const ChecksumPacing& pacing) {
    // In the unit's ledger from before it goes out until the answer, so that every ending
    // settles it; a request the unit did not take leaves the ready flag and the sum of an
    // earlier one, which must not pass for this area's.
    talk.ledger().setChecksumRequested(talk.unit(), true);
    const UnitChecksum out = requestAndPoll(talk, address, length, pacing);
    talk.ledger().setChecksumRequested(talk.unit(), false);
    return out;
}

std::optional<std::uint16_t> fileChecksum(const std::filesystem::path& file, std::uint32_t length) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::uint16_t sum = 0;
    std::array<char, 4096> chunk{};
    for (std::uint32_t left = length; left > 0;) {
        const auto want = static_cast<std::streamsize>(std::min<std::uint32_t>(left, chunk.size()));
        in.read(chunk.data(), want);
        if (in.gcount() != want) return std::nullopt;
        sum = addToSum(sum, std::span(reinterpret_cast<const std::uint8_t*>(chunk.data()),
                                      static_cast<std::size_t>(want)));
        left -= static_cast<std::uint32_t>(want);
    }
    return sum;
}

}  // namespace kavo3::download
