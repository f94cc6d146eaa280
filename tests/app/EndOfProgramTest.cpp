#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTimer>
#include <cstdio>

#include "app/MainWindow.h"
#include "link/testing/FakeTransport.h"

namespace kavo3::app {
namespace {

using namespace std::chrono_literals;

void closeMainWindowInsideASettleWait() {
    link::testing::FakeTransport transport;
    link::DeviceLink link(transport, 5ms);
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] { ui::endProcessNow(); }};
    MainWindow window(session);
    window.show();
    QTimer::singleShot(0, &window, [&] { window.close(); });
    clock.settleWait(3);
    std::fprintf(stderr, "still running after the wait\n");
    std::exit(3);
}

// Closing the main window ends the process at once, even from inside another handler's
// settle wait: nothing after the wait runs.
TEST(EndOfProgramDeathTest, ClosingTheMainWindowInsideASettleWaitEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(closeMainWindowInsideASettleWait(), ::testing::ExitedWithCode(0),
                ::testing::Not(::testing::HasSubstr("still running")));
}

}  // namespace
}  // namespace kavo3::app
