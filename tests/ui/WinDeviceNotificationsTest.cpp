// The Windows device notifications: a window registered for the HID interface class, and the
// WM_DEVICECHANGE messages of that window turned into device events (under Wine in the tests).
#include <windows.h>

#include "ui/WinDeviceNotifications.h"
// windows.h first: the device and HID headers rely on its types.
#include <dbt.h>
extern "C" {
#include <hidsdi.h>
}

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kavo3::ui {
namespace {

using link::DeviceEvent;

// A DEV_BROADCAST_DEVICEINTERFACE_W with its name after the fixed part, as Windows sends it.
std::vector<unsigned char> broadcast(const std::wstring& name, const GUID& guid) {
    std::vector<unsigned char> bytes(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) +
                                     name.size() * sizeof(wchar_t));
    auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    b->dbcc_size = static_cast<DWORD>(bytes.size());
    b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    b->dbcc_classguid = guid;
    std::memcpy(b->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return bytes;
}

TEST(WinDeviceNotifications, TheWindowIsRegisteredAndItsDeviceMessagesBecomeEvents) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    HWND otherWindow =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    WinDeviceNotifications notifications(reinterpret_cast<WId>(window));
    EXPECT_EQ(notifications.problem(), "");
    std::vector<DeviceEvent> heard;
    notifications.setListener([&](const DeviceEvent& e) { heard.push_back(e); });

    GUID hid;
    HidD_GetHidGuid(&hid);
    GUID otherClass = hid;
    otherClass.Data1 ^= 1;
    const std::wstring unit =
        L"\\\\?\\HID#VID_17A7&PID_0001#7&2f1c3a&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const struct {
        const char* what;
        HWND to;
        UINT message;
        WPARAM kind;
        GUID guid;
        bool heard;
    } cases[] = {
        {"arrival", window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, hid, true},
        {"departure", window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, hid, true},
        {"removal asked for", window, WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, hid, false},
        {"another class", window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, otherClass, false},
        {"another window", otherWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, hid, false},
        {"another message", window, WM_USER, DBT_DEVICEARRIVAL, hid, false},
    };
    for (const auto& c : cases) {
        heard.clear();
        std::vector<unsigned char> b = broadcast(unit, c.guid);
        MSG msg{c.to, c.message, c.kind, reinterpret_cast<LPARAM>(b.data()), 0, {}};
        qintptr result = 0;
        EXPECT_FALSE(notifications.nativeEventFilter("windows_generic_MSG", &msg, &result))
            << c.what;  // others hear it too
        ASSERT_EQ(heard.size(), c.heard ? 1u : 0u) << c.what;
        if (!c.heard) continue;
        EXPECT_EQ(heard[0].kind, c.kind == DBT_DEVICEARRIVAL ? DeviceEvent::Kind::Arrived
                                                             : DeviceEvent::Kind::Left)
            << c.what;
        EXPECT_EQ(heard[0].path, std::string(unit.begin(), unit.end())) << c.what;
        ASSERT_TRUE(heard[0].identity) << c.what;
        EXPECT_EQ(heard[0].identity->VendorID, 0x17A7) << c.what;
        EXPECT_EQ(heard[0].identity->ProductID, 0x0001) << c.what;
    }
    DestroyWindow(otherWindow);
    DestroyWindow(window);
}

}  // namespace
}  // namespace kavo3::ui
