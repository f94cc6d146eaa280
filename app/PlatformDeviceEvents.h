// Where the program for a real unit hears units arrive and leave: udev's monitor on Linux, the
// device notifications of the main window on Windows.
#pragma once

#include <memory>

#include "link/DeviceEvents.h"

class QWidget;

namespace kavo3::app {

std::shared_ptr<link::DeviceEvents> platformDeviceEvents(QWidget& mainWindow);

}  // namespace kavo3::app
