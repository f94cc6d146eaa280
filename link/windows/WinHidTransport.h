// The Windows backend of the device link: HID interfaces listed through the device-
// installation service, opened with CreateFileA, reports moved with overlapped I/O.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Transport.h"

namespace kavo3::link::windows {

struct SetupApi;
struct FileIo;

class WinHidTransport : public Transport {
  public:
    // Longest a write may wait for the platform to take a report before it is given up.
    static constexpr std::chrono::milliseconds kWriteLimit{5000};
    // Longest a cancelled read or write is waited for; one still pending then is left to the
    // driver with its storage, and the unit counts as gone.
    static constexpr std::chrono::milliseconds kCancelLimit{2000};

    WinHidTransport();
    // `api` stands in for the enumeration calls and `io` for the report I/O; both must outlive
    // the transport and every handle it opens.
    explicit WinHidTransport(const SetupApi& api,
                             std::chrono::milliseconds writeLimit = kWriteLimit);
    WinHidTransport(const SetupApi& api, std::chrono::milliseconds writeLimit, const FileIo& io,
                    std::chrono::milliseconds cancelLimit = kCancelLimit);

    // The present HID interfaces in the order the platform enumerates them.
    std::vector<InterfaceEntry> listInterfaces() override;
    // Opens without sharing, so that one program at a time holds the unit; further opens of
    // the same path in this program share that hold. Busy on a sharing violation.
    std::unique_ptr<HidHandle> open(const std::string& path, OpenError& error) override;
    std::string permissionHint() const override;
    // The USB device's location path (link/windows/UsbLocation.h).
    std::string portPathOf(const std::string& path) override;
    // Only the platform's own calls reach units that outlive the program.
    bool unitsOutliveProgram() const override;

  private:
    const SetupApi& api_;
    std::chrono::milliseconds writeLimit_;
    const FileIo& io_;
    std::chrono::milliseconds cancelLimit_;
};

// The identity that a HID interface path carries ("...#vid_17a7&pid_0001#..."), if any.
std::optional<HidAttributes> identityFromInterfacePath(std::string_view path);

}  // namespace kavo3::link::windows
