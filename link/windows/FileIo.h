// The calls that move reports through an opened interface, gathered in one table so that
// tests can make them fail as the HID class driver does for a device that has left, or never
// finish as a driver that ignores a cancel; the backend uses system() everywhere else.
#pragma once

#include <windows.h>

namespace kavo3::link::windows {

struct FileIo {
    decltype(&::WriteFile) writeFile;
    decltype(&::ReadFile) readFile;
    decltype(&::GetOverlappedResult) getOverlappedResult;
    decltype(&::CancelIoEx) cancelIoEx;

    static const FileIo& system();
};

}  // namespace kavo3::link::windows
