// TickCounter and the settle wait that paces every multi-step exchange with the unit.
// The timer (1 ms, or the tick period the run was given) runs only while a wait is in progress,
// so an idle program never wakes up.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>

namespace kavo3::ui {

class SettleClock : public QObject {
    Q_OBJECT
  public:
    explicit SettleClock(QObject* parent = nullptr);

    // Sets TickCounter to 0 and lets pending window events run until it reaches `ticks`.
    void settleWait(int ticks);

    std::uint16_t TickCounter() const { return tickCounter_; }
    // Wraps from 4095 to 0.
    void tick();
    void setTickCounter(std::uint16_t value) { tickCounter_ = value % 4096; }

    QTimer* timer() { return &Timer1; }

  private:
    QTimer Timer1;
    std::uint16_t tickCounter_ = 0;
    int waitsRunning_ = 0;
};

}  // namespace kavo3::ui
