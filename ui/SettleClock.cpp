#include "ui/SettleClock.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "link/TickPeriod.h"

namespace kavo3::ui {

SettleClock::SettleClock(QObject* parent) : QObject(parent), Timer1(this) {
    setObjectName("SettleClock");
    Timer1.setObjectName("Timer1");
    // 1 ms unless the run asks for the slower tick a real unit may need.
    Timer1.setInterval(static_cast<int>(link::tickPeriod().count()));
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, &SettleClock::tick);
}

void SettleClock::tick() { tickCounter_ = (tickCounter_ + 1) % 4096; }

void SettleClock::settleWait(int ticks) {
    tickCounter_ = 0;
    if (waitsRunning_++ == 0) Timer1.start();
    // A handler that runs inside this wait may start a wait of its own; both share the counter.
    while (tickCounter_ < ticks) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (--waitsRunning_ == 0) Timer1.stop();
}

}  // namespace kavo3::ui
