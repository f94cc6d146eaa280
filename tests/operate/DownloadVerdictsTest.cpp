// The one table from a download's outcome to its word and exit status, as every front end
// reads it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "operate/DownloadVerdicts.h"

namespace kavo3::operate {
namespace {

using download::Outcome;

constexpr int kOutcomes = static_cast<int>(Outcome::ChecksumNotTaken) + 1;

TEST(DownloadVerdicts, EveryOutcomeHasOneWordAndOneExitStatus) {
    std::set<Outcome> seen;
    for (const DownloadVerdict& verdict : kDownloadVerdicts) {
        EXPECT_TRUE(seen.insert(verdict.outcome).second)
            << "listed twice: " << static_cast<int>(verdict.outcome);
        EXPECT_FALSE(std::string(verdict.word).empty());
    }
    EXPECT_EQ(static_cast<int>(seen.size()), kOutcomes);
    for (int i = 0; i < kOutcomes; ++i) {
        const auto outcome = static_cast<Outcome>(i);
        EXPECT_EQ(verdictOf(outcome).outcome, outcome) << i;
    }
}

TEST(DownloadVerdicts, OnlyAVerifiedWriteSucceedsAndAWordNeverHidesTheStatus) {
    std::map<std::string, int> statusOfWord;
    for (const DownloadVerdict& verdict : kDownloadVerdicts) {
        EXPECT_EQ(verdict.exitCode == kExitOk, verdict.outcome == Outcome::WriteOk)
            << verdict.word;
        // A summary line's word says which exit status the unit gave the run.
        const auto [it, added] = statusOfWord.emplace(verdict.word, verdict.exitCode);
        EXPECT_EQ(it->second, verdict.exitCode) << verdict.word;
        EXPECT_NE(std::string(verdict.word), kNoUnitWord);
    }
    // The summary of several units tells a stop from a unit that left.
    EXPECT_STRNE(verdictOf(Outcome::Stopped).word, verdictOf(Outcome::UnitGone).word);
    EXPECT_EQ(verdictOf(Outcome::Stopped).exitCode, kExitInterrupted);
}

}  // namespace
}  // namespace kavo3::operate
