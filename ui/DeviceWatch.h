// Hears a source of device events inside the event loop: a descriptor that becomes readable
// wakes it through a socket notifier, a change due at a known time through a single-shot
// timer. Nothing runs while nothing happens. Events reach the windows from the event loop,
// never from inside the exchange that raised them.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "link/DeviceEvents.h"

namespace kavo3::ui {

class DeviceWatch : public QObject {
    Q_OBJECT
  public:
    explicit DeviceWatch(link::DeviceEvents& source, QObject* parent = nullptr);
    ~DeviceWatch() override;

  signals:
    void changed(const kavo3::link::DeviceEvent& event);

  private:
    void armForNextChange();

    link::DeviceEvents& source_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer changeDue_;
};

}  // namespace kavo3::ui
