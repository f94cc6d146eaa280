// The device backend of the platform the program is built for: hidraw on Linux, the HID class
// driver on Windows. Programs name this one and never a backend of their own choosing.
#pragma once

#ifdef _WIN32
#include "link/windows/WinHidTransport.h"
namespace kavo3::link {
using PlatformTransport = windows::WinHidTransport;
}
#else
#include "link/linux/HidrawTransport.h"
namespace kavo3::link {
using PlatformTransport = HidrawTransport;
}
#endif
