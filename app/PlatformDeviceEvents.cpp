#include "app/PlatformDeviceEvents.h"

#include <QWidget>

#ifdef _WIN32
#include "ui/WinDeviceNotifications.h"
#else
#include "link/linux/UdevEvents.h"
#endif

namespace kavo3::app {

std::shared_ptr<link::DeviceEvents> platformDeviceEvents(QWidget& mainWindow) {
#ifdef _WIN32
    return std::make_shared<ui::WinDeviceNotifications>(mainWindow.winId());
#else
    (void)mainWindow;
    return std::make_shared<link::UdevEvents>();
#endif
}

}  // namespace kavo3::app
