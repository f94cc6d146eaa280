// Where a HID interface sits on the USB, as Windows gives it: the location path of the USB
// device it belongs to (PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)), which stays with the
// hub port whatever instance the device gets.
#pragma once

#include <string>

namespace kavo3::link::windows {

// Empty when the system does not say.
std::string usbLocationOf(const std::string& interfacePath);

}  // namespace kavo3::link::windows
