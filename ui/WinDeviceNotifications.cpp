#include "ui/WinDeviceNotifications.h"

#include <windows.h>
// windows.h first: the device and HID headers rely on its types.
#include <dbt.h>
extern "C" {
#include <hidsdi.h>
}

#include <QCoreApplication>

#include "link/windows/WinHidTransport.h"

namespace kavo3::ui {

namespace {

GUID hidInterfaceClass() {
    GUID guid;
    HidD_GetHidGuid(&guid);
    return guid;
}

// Interface names are plain ASCII.
std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

}  // namespace

WinDeviceNotifications::WinDeviceNotifications(WId window) : window_(window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = hidInterfaceClass();
    registration_ = RegisterDeviceNotificationW(reinterpret_cast<HWND>(window_), &filter,
                                                DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!registration_) {
        problem_ = "device notifications: the window cannot be registered (error " +
                   std::to_string(GetLastError()) + ")";
        return;
    }
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installNativeEventFilter(this);
}

WinDeviceNotifications::~WinDeviceNotifications() {
    if (registration_) UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(registration_));
}

bool WinDeviceNotifications::nativeEventFilter(const QByteArray& eventType, void* message,
                                               qintptr*) {
    if (eventType != "windows_generic_MSG" || !message) return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->hwnd != reinterpret_cast<HWND>(window_) || msg->message != WM_DEVICECHANGE)
        return false;
    if (msg->wParam != DBT_DEVICEARRIVAL && msg->wParam != DBT_DEVICEREMOVECOMPLETE) return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(msg->lParam);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return false;
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    if (!IsEqualGUID(device->dbcc_classguid, hidInterfaceClass())) return false;

    link::DeviceEvent event;
    event.kind = msg->wParam == DBT_DEVICEARRIVAL ? link::DeviceEvent::Kind::Arrived
                                                  : link::DeviceEvent::Kind::Left;
    event.path = narrow(device->dbcc_name);
    event.identity = link::windows::identityFromInterfacePath(event.path);
    raise(event);
    // Others may want to hear it too.
    return false;
}

}  // namespace kavo3::ui
