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
#include <string>

#include "link/windows/FileIo.h"
#include "link/windows/SetupApi.h"
#include "link/windows/WinHandles.h"

namespace kavo3::link::windows {

const FileIo& FileIo::system() {
    static const FileIo io{&::WriteFile, &::ReadFile, &::GetOverlappedResult};
    return io;
}

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
// `error` is the platform's code when it failed.
IoOutcome finishOverlapped(const FileIo& io, HANDLE file, OVERLAPPED& ov, bool startedOk,
                           DWORD limitMs, DWORD& transferred, DWORD& error) {
    transferred = 0;
    error = ERROR_SUCCESS;
    if (!startedOk && (error = ::GetLastError()) != ERROR_IO_PENDING) return IoOutcome::Failed;
    bool expired = false;
    if (!startedOk && ::WaitForSingleObject(ov.hEvent, limitMs) != WAIT_OBJECT_0) {
        expired = true;
        ::CancelIoEx(file, &ov);
    }
    // With wait = TRUE this returns only once the operation has really ended.
    if (io.getOverlappedResult(file, &ov, &transferred, TRUE)) {
        error = ERROR_SUCCESS;
        return IoOutcome::Completed;
    }
    error = ::GetLastError();
    return expired && error == ERROR_OPERATION_ABORTED ? IoOutcome::TimedOut : IoOutcome::Failed;
}

// What the HID class driver answers once the device has been unplugged.
bool meansDeviceLeft(DWORD error) {
    return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_BAD_COMMAND ||
           error == ERROR_GEN_FAILURE;
}

std::string describeError(const char* call, DWORD error) {
    struct Name {
        DWORD code;
        const char* name;
    };
    static constexpr Name names[] = {
        {ERROR_DEVICE_NOT_CONNECTED, "ERROR_DEVICE_NOT_CONNECTED"},
        {ERROR_BAD_COMMAND, "ERROR_BAD_COMMAND"},
        {ERROR_GEN_FAILURE, "ERROR_GEN_FAILURE"},
        {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
        {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
        {ERROR_BROKEN_PIPE, "ERROR_BROKEN_PIPE"},
        {ERROR_PIPE_NOT_CONNECTED, "ERROR_PIPE_NOT_CONNECTED"},
        {ERROR_OPERATION_ABORTED, "ERROR_OPERATION_ABORTED"},
        {ERROR_INVALID_USER_BUFFER, "ERROR_INVALID_USER_BUFFER"},
        {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
    };
    std::string text = std::string(call) + ": error " + std::to_string(error);
    for (const Name& n : names)
        if (n.code == error) text += std::string(" (") + n.name + ")";
    return text;
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
    WinHidHandle(UniqueHandle file, DWORD writeLimitMs, const FileIo& io)
        : file_(std::move(file)), writeLimitMs_(writeLimitMs), io_(io) {}

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

    WriteStatus write(std::span<const std::uint8_t> report) override {
        if (!ensureEvent(writeEvent_)) {
            failure_ = describeError("CreateEventA", ::GetLastError());
            return WriteStatus::Refused;
        }
        OVERLAPPED ov{};
        ov.hEvent = writeEvent_.get();
        const auto size = static_cast<DWORD>(report.size());
        const bool started = io_.writeFile(file_.get(), report.data(), size, nullptr, &ov);
        DWORD written = 0, error = 0;
        const IoOutcome outcome =
            finishOverlapped(io_, file_.get(), ov, started, writeLimitMs_, written, error);
        if (outcome == IoOutcome::Completed && written == size) return WriteStatus::Taken;
        if (outcome == IoOutcome::Completed) {
            failure_ = "WriteFile: took " + std::to_string(written) + " of " +
                       std::to_string(size) + " bytes";
        } else if (outcome == IoOutcome::TimedOut) {
            failure_ = "WriteFile: not taken within " + std::to_string(writeLimitMs_) +
                       " ms, given up";
        } else {
            failure_ = describeError("WriteFile", error);
            if (meansDeviceLeft(error)) return WriteStatus::Gone;
        }
        return WriteStatus::Refused;
    }

    ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (buffer.empty()) {
            failure_ = "ReadFile: no room for a report";
            return ReadStatus::Failed;
        }
        if (!ensureEvent(readEvent_)) {
            failure_ = describeError("CreateEventA", ::GetLastError());
            return ReadStatus::Failed;
        }
        // The platform writes into storage owned by the handle; the caller's buffer is
        // touched only when a report really came.
        readBuffer_.assign(buffer.size(), 0);
        readOverlapped_ = OVERLAPPED{};
        readOverlapped_.hEvent = readEvent_.get();
        const bool started =
            io_.readFile(file_.get(), readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()),
                         nullptr, &readOverlapped_);
        DWORD got = 0, error = 0;
        const IoOutcome outcome = finishOverlapped(io_, file_.get(), readOverlapped_, started,
                                                   toWaitMilliseconds(timeout), got, error);
        ::ResetEvent(readEvent_.get());
        if (outcome == IoOutcome::TimedOut) return ReadStatus::Timeout;
        if (outcome == IoOutcome::Failed) {
            failure_ = describeError("ReadFile", error);
            return meansDeviceLeft(error) ? ReadStatus::Gone : ReadStatus::Failed;
        }
        if (got == 0) {
            failure_ = "ReadFile: no bytes";
            return ReadStatus::Failed;
        }
        std::copy_n(readBuffer_.begin(), got, buffer.begin());
        std::fill(buffer.begin() + got, buffer.end(), 0);
        return ReadStatus::Report;
    }

    void discardQueuedInput() override { ::HidD_FlushQueue(file_.get()); }

    std::string failureText() const override { return failure_; }

  private:
    static bool ensureEvent(UniqueHandle& event) {
        // Manual reset: the overlapped operation signals it, the wait leaves it signalled.
        if (!event) event.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        return static_cast<bool>(event);
    }

    UniqueHandle file_;
    DWORD writeLimitMs_;
    const FileIo& io_;
    std::string failure_;
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
    : WinHidTransport(api, writeLimit, FileIo::system()) {}

WinHidTransport::WinHidTransport(const SetupApi& api, std::chrono::milliseconds writeLimit,
                                 const FileIo& io)
    : api_(api), writeLimit_(writeLimit), io_(io) {}

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
    return std::make_unique<WinHidHandle>(std::move(file), toWaitMilliseconds(writeLimit_), io_);
}

std::string WinHidTransport::permissionHint() const {
    return "Windows refused access to it: a device policy of this PC may block it, or another "
           "program may hold it; ask the administrator, or close that program and plug the unit "
           "in again.";
}

}  // namespace kavo3::link::windows
