// Linked into every GoogleTest program that runs against the simulated unit: a test during
// which the unit's own view found a report where it does not belong fails, without a line in
// the test itself.
#include <gtest/gtest.h>

#include "sim/UnitView.h"

namespace {

class UnitViewListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        // What happened between tests (a static set-up) belongs to none of them.
        kavo3::sim::takeViolations();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        const std::vector<std::string> seen = kavo3::sim::takeViolations();
        std::string text;
        for (const std::string& line : seen) text += "\n  " + line;
        EXPECT_TRUE(seen.empty()) << "the simulated unit saw reports where they do not belong:"
                                  << text;
    }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new UnitViewListener);
    return true;
}();

}  // namespace
