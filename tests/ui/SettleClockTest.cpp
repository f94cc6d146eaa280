#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "link/TickPeriod.h"
#include "ui/SettleClock.h"

namespace kavo3::ui {
namespace {

TEST(TickCounter, WrapsFrom4095ToZero) {
    SettleClock clock;
    clock.setTickCounter(4094);
    clock.tick();
    EXPECT_EQ(clock.TickCounter(), 4095);
    clock.tick();
    EXPECT_EQ(clock.TickCounter(), 0);
}

TEST(SettleWait, ResetsTheCounterAndLastsTheTicksAskedFor) {
    for (std::uint16_t start : {std::uint16_t{0}, std::uint16_t{2}, std::uint16_t{4095}}) {
        SettleClock clock;
        clock.setTickCounter(start);
        int ticks = 0;
        QObject::connect(clock.timer(), &QTimer::timeout, [&] { ++ticks; });
        clock.settleWait(3);
        EXPECT_EQ(ticks, 3) << "started at " << start;
        EXPECT_EQ(clock.TickCounter(), 3);
    }
}

TEST(SettleWait, TheTimerRunsOnlyWhileAWaitRuns) {
    SettleClock clock;
    EXPECT_FALSE(clock.timer()->isActive());
    bool activeInside = false;
    QTimer::singleShot(0, [&] { activeInside = clock.timer()->isActive(); });
    clock.settleWait(2);
    EXPECT_TRUE(activeInside);
    EXPECT_FALSE(clock.timer()->isActive());
}

TEST(SettleWait, LetsOtherHandlersRunAndShareTheCounter) {
    SettleClock clock;
    bool innerDone = false;
    // A handler that runs inside the wait and waits itself resets the shared counter.
    QTimer::singleShot(0, [&] {
        clock.settleWait(2);
        innerDone = true;
    });
    clock.settleWait(2);
    EXPECT_TRUE(innerDone);
    EXPECT_FALSE(clock.timer()->isActive());
}

TEST(SettleWait, CountsTicksOfThePeriodTheRunWasGiven) {
    for (const int period : {1, 16}) {
        link::setTickPeriod(std::chrono::milliseconds(period));
        SettleClock clock;
        EXPECT_EQ(clock.timer()->interval(), period);
        QElapsedTimer elapsed;
        elapsed.start();
        clock.settleWait(3);
        EXPECT_GE(elapsed.elapsed(), 3 * period - 1) << period;  // timers may round down by 1 ms
    }
    link::setTickPeriod(std::chrono::milliseconds(1));
}

}  // namespace
}  // namespace kavo3::ui
