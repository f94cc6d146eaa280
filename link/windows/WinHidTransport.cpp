#include "link/windows/WinHidTransport.h"

#include <windows.h>
// windows.h first: the HID and setup headers rely on its types.
#include <setupapi.h>
extern "C" {
// Lacks C++ linkage guards in mingw-w64; brings hidpi.h in the order it needs.
#include <hidsdi.h>
}

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>

#include "link/windows/SetupApi.h"
#include "link/windows/WinHandles.h"

namespace kavo3::link::windows {

const SetupApi& SetupApi::system() {
    static const SetupApi api{&::SetupDiGetClassDevsA, &::SetupDiEnumDeviceInterfaces,
                              &::SetupDiGetDeviceInterfaceDetailA, &::SetupDiDestroyDeviceInfoList};
    return api;
}

namespace {

DWORD toWaitMilliseconds(std::chrono::milliseconds limit) {
    const auto ms = std::clamp<long long>(limit.count(), 0, INFINITE - 1);
    return static_cast<DWORD>(ms);
}

enum class IoOutcome { Completed, TimedOut, Failed };

// Finishes an overlapped operation that was started on `file` with `ov`. On expiry the
// operation is cancelled and waited for, so that it never outlives the storage it uses.
IoOutcome finishOverlapped(HANDLE file, OVERLAPPED& ov, bool startedOk, DWORD limitMs,
                           DWORD& transferred) {
    transferred = 0;
    if (!startedOk && ::GetLastError() != ERROR_IO_PENDING) return IoOutcome::Failed;
    bool expired = false;
    if (!startedOk && ::WaitForSingleObject(ov.hEvent, limitMs) != WAIT_OBJECT_0) {
        expired = true;
        ::CancelIoEx(file, &ov);
    }
    // With wait = TRUE this returns only once the operation has really ended.
    if (::GetOverlappedResult(file, &ov, &transferred, TRUE)) return IoOutcome::Completed;
    return expired && ::GetLastError() == ERROR_OPERATION_ABORTED ? IoOutcome::TimedOut
                                                                  : IoOutcome::Failed;
}

// Frees HID preparsed data with the value HidD_GetPreparsedData returned.
class PreparsedData {
  public:
    explicit PreparsedData(HANDLE device) {
        if (!::HidD_GetPreparsedData(device, &data_)) data_ = nullptr;
    }
    ~PreparsedData() {
        if (data_) ::HidD_FreePreparsedData(data_);
    }
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;

    PHIDP_PREPARSED_DATA get() const { return data_; }

  private:
    PHIDP_PREPARSED_DATA data_ = nullptr;
};

// Every handle is opened for overlapped I/O: the same kind of handle serves for writes
// and queries (DeviceLink's first open) and for reads with a time limit (its second).
// Every read and write has ended before it returns, so closing never races the platform.
class WinHidHandle final : public HidHandle {
  public:
    WinHidHandle(UniqueHandle file, DWORD writeLimitMs)
        : file_(std::move(file)), writeLimitMs_(writeLimitMs) {}

    std::optional<HidAttributes> attributes() override {
        HIDD_ATTRIBUTES a{};
        a.Size = sizeof a;
        if (!::HidD_GetAttributes(file_.get(), &a)) return std::nullopt;
        return HidAttributes{a.VendorID, a.ProductID, a.VersionNumber};
    }

    std::optional<HidCaps> capabilities() override {
        const PreparsedData preparsed(file_.get());
        if (!preparsed.get()) return std::nullopt;
        HIDP_CAPS caps{};
        if (::HidP_GetCaps(preparsed.get(), &caps) != HIDP_STATUS_SUCCESS) return std::nullopt;
        return HidCaps{caps.InputReportByteLength, caps.OutputReportByteLength};
    }

    bool write(std::span<const std::uint8_t> report) override {
        if (!ensureEvent(writeEvent_)) return false;
        OVERLAPPED ov{};
        ov.hEvent = writeEvent_.get();
        const auto size = static_cast<DWORD>(report.size());
        const bool started = ::WriteFile(file_.get(), report.data(), size, nullptr, &ov);
        DWORD written = 0;
        const IoOutcome outcome =
            finishOverlapped(file_.get(), ov, started, writeLimitMs_, written);
        return outcome == IoOutcome::Completed && written == size;
    }

    ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (buffer.empty() || !ensureEvent(readEvent_)) return ReadStatus::Failed;
        // The platform writes into storage owned by the handle; the caller's buffer is
        // touched only when a report really came.
        readBuffer_.assign(buffer.size(), 0);
        readOverlapped_ = OVERLAPPED{};
        readOverlapped_.hEvent = readEvent_.get();
        const bool started =
            ::ReadFile(file_.get(), readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()),
                       nullptr, &readOverlapped_);
        DWORD got = 0;
        const IoOutcome outcome = finishOverlapped(file_.get(), readOverlapped_, started,
                                                   toWaitMilliseconds(timeout), got);
        ::ResetEvent(readEvent_.get());
        if (outcome == IoOutcome::TimedOut) return ReadStatus::Timeout;
        if (outcome == IoOutcome::Failed || got == 0) return ReadStatus::Failed;
        std::copy_n(readBuffer_.begin(), got, buffer.begin());
        std::fill(buffer.begin() + got, buffer.end(), 0);
        return ReadStatus::Report;
    }

    void discardQueuedInput() override { ::HidD_FlushQueue(file_.get()); }

  private:
    static bool ensureEvent(UniqueHandle& event) {
        // Manual reset: the overlapped operation signals it, the wait leaves it signalled.
        if (!event) event.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        return static_cast<bool>(event);
    }

    UniqueHandle file_;
    DWORD writeLimitMs_;
    UniqueHandle readEvent_;
    UniqueHandle writeEvent_;
    OVERLAPPED readOverlapped_{};
    std::vector<std::uint8_t> readBuffer_;
};

std::optional<std::uint16_t> hexAfter(std::string_view lower, std::string_view key) {
    const auto at = lower.find(key);
    if (at == std::string_view::npos || lower.size() - at - key.size() < 4) return std::nullopt;
    std::uint16_t value = 0;
    for (char c : lower.substr(at + key.size(), 4)) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = static_cast<std::uint16_t>(value * 16 + digit);
    }
    return value;
}

}  // namespace

std::optional<HidAttributes> identityFromInterfacePath(std::string_view path) {
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto vid = hexAfter(lower, "vid_");
    const auto pid = hexAfter(lower, "pid_");
    if (!vid || !pid) return std::nullopt;
    return HidAttributes{*vid, *pid, 0};
}

WinHidTransport::WinHidTransport() : WinHidTransport(SetupApi::system()) {}

WinHidTransport::WinHidTransport(const SetupApi& api, std::chrono::milliseconds writeLimit)
    : api_(api), writeLimit_(writeLimit) {}

std::vector<InterfaceEntry> WinHidTransport::listInterfaces() {
    std::vector<InterfaceEntry> entries;
    GUID hidGuid;
    ::HidD_GetHidGuid(&hidGuid);
    const DeviceInfoSet set(
        api_.getClassDevs(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE), api_);
    if (!set) return entries;

    // The first member index that fails ends the list, whatever the cause.
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        // 28 bytes on 32-bit Windows, 32 on 64-bit.
        interfaceData.cbSize = sizeof interfaceData;
        if (!api_.enumDeviceInterfaces(set.get(), nullptr, &hidGuid, index, &interfaceData)) {
            break;
        }

        DWORD required = 0;
        api_.getDeviceInterfaceDetail(set.get(), &interfaceData, nullptr, 0, &required, nullptr);
        constexpr DWORD pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        if (required <= pathOffset) continue;

        // One spare zero byte keeps the path terminated whatever the call left there.
        const std::size_t bufferSize =
            std::max<std::size_t>(required + 1, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
        auto storage = std::make_unique<std::byte[]>(bufferSize);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.get());
        // The fixed part of the record, not the buffer: 5 on 32-bit Windows, 8 on 64-bit.
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!api_.getDeviceInterfaceDetail(set.get(), &interfaceData, detail, required, nullptr,
                                           nullptr)) {
            continue;
        }
        std::string path(detail->DevicePath, ::strnlen(detail->DevicePath, required - pathOffset));
        if (path.empty()) continue;
        auto identity = identityFromInterfacePath(path);
        entries.push_back({std::move(path), identity});
    }
    return entries;
}

std::unique_ptr<HidHandle> WinHidTransport::open(const std::string& path, OpenError& error) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    if (!file) {
        error =
            ::GetLastError() == ERROR_ACCESS_DENIED ? OpenError::NotPermitted : OpenError::Failed;
        return nullptr;
    }
    error = OpenError::None;
    return std::make_unique<WinHidHandle>(std::move(file), toWaitMilliseconds(writeLimit_));
}

std::string WinHidTransport::permissionHint() const {
    return "Windows refused access to it: a device policy of this PC may block it, or another "
           "program may hold it; ask the administrator, or close that program and plug the unit "
           "in again.";
}

}  // namespace kavo3::link::windows
