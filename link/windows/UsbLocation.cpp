#include "link/windows/UsbLocation.h"

#include <windows.h>
// windows.h first: the setup and configuration headers rely on its types.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <vector>

namespace kavo3::link::windows {

namespace {

// The first of a device node's location paths, "" where it has none.
std::string firstLocationPath(DEVINST node) {
    ULONG bytes = 0;
    if (::CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_LOCATION_PATHS, nullptr, nullptr, &bytes,
                                            0) != CR_BUFFER_SMALL ||
        bytes == 0)
        return {};
    std::vector<char> paths(bytes + 2, '\0');
    if (::CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_LOCATION_PATHS, nullptr, paths.data(),
                                            &bytes, 0) != CR_SUCCESS)
        return {};
    return std::string(paths.data());  // a list of strings: the first ends at its zero
}

}  // namespace

std::string usbLocationOf(const std::string& interfacePath) {
    HDEVINFO set = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) return {};
    std::string location;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD required = 0;
    if (::SetupDiOpenDeviceInterfaceA(set, interfacePath.c_str(), 0, &interfaceData)) {
        // Fails for want of a buffer, but names the device node on the way.
        ::SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &required, &device);
        // The HID collection has no location of its own; its USB interface or device has.
        DEVINST node = device.DevInst;
        for (int level = 0; node != 0 && level < 3 && location.empty(); ++level) {
            DEVINST parent = 0;
            if (::CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) break;
            const std::string path = firstLocationPath(parent);
            if (path.find("#USB(") != std::string::npos) location = path;
            node = parent;
        }
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return location;
}

}  // namespace kavo3::link::windows
