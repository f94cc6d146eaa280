// The device-installation calls that list HID interfaces, and the HID class's queue setting,
// gathered in one table so that tests can stand in for them; the backend uses system()
// everywhere else.
#pragma once

#include <windows.h>
// windows.h first: setupapi.h and hidsdi.h rely on its types.
#include <setupapi.h>
extern "C" {
// Lacks C++ linkage guards in mingw-w64; brings hidpi.h in the order it needs.
#include <hidsdi.h>
}

namespace kavo3::link::windows {

struct SetupApi {
    decltype(&::SetupDiGetClassDevsA) getClassDevs;
    decltype(&::SetupDiEnumDeviceInterfaces) enumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetailA) getDeviceInterfaceDetail;
    decltype(&::SetupDiDestroyDeviceInfoList) destroyDeviceInfoList;
    decltype(&::HidD_SetNumInputBuffers) setNumInputBuffers;

    static const SetupApi& system();
};

// A device-information set, destroyed through the table that made it.
class DeviceInfoSet {
  public:
    DeviceInfoSet(HDEVINFO set, const SetupApi& api) : set_(set), api_(api) {}
    ~DeviceInfoSet() {
        if (*this) api_.destroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    HDEVINFO get() const { return set_; }
    explicit operator bool() const { return set_ != nullptr && set_ != INVALID_HANDLE_VALUE; }

  private:
    HDEVINFO set_;
    const SetupApi& api_;
};

}  // namespace kavo3::link::windows
