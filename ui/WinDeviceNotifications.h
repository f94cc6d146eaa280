// Arrivals and departures of HID interfaces on Windows: the program's top-level window is
// registered for the HID interface class, and a native event filter takes its WM_DEVICECHANGE
// messages from the event loop. Nothing runs while nothing is plugged in or out.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QWindow>
#include <string>

#include "link/DeviceEvents.h"

namespace kavo3::ui {

class WinDeviceNotifications : public link::DeviceEvents, public QAbstractNativeEventFilter {
  public:
    // `window` is a top-level window of the program, whose messages Qt's filters see.
    explicit WinDeviceNotifications(WId window);
    ~WinDeviceNotifications() override;
    WinDeviceNotifications(const WinDeviceNotifications&) = delete;
    WinDeviceNotifications& operator=(const WinDeviceNotifications&) = delete;

    std::string problem() const override { return problem_; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    WId window_;
    void* registration_ = nullptr;
    std::string problem_;
};

}  // namespace kavo3::ui
