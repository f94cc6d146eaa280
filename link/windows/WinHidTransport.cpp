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
#include <map>
#include <mutex>
#include <string>

#include "link/windows/AbandonedIo.h"
#include "link/windows/FileIo.h"
#include "link/windows/SetupApi.h"
#include "link/windows/UsbLocation.h"
#include "link/windows/WinHandles.h"

namespace kavo3::link::windows {

const FileIo& FileIo::system() {
    static const FileIo io{&::WriteFile, &::ReadFile, &::GetOverlappedResult, &::CancelIoEx};
    return io;
}

const SetupApi& SetupApi::system() {
    static const SetupApi api{&::SetupDiGetClassDevsA, &::SetupDiEnumDeviceInterfaces,
                              &::SetupDiGetDeviceInterfaceDetailA, &::SetupDiDestroyDeviceInfoList,
                              &::HidD_SetNumInputBuffers};
    return api;
}

namespace {

DWORD toWaitMilliseconds(std::chrono::milliseconds limit) {
    const auto ms = std::clamp<long long>(limit.count(), 0, INFINITE - 1);
    return static_cast<DWORD>(ms);
}

// Input reports the HID class keeps per handle; its default of 32 holds a third of a capture
// line (93 reports), so a thread held up for a moment would lose the line's end.
constexpr ULONG kInputBuffers = 512;

enum class IoOutcome { Completed, TimedOut, Failed, Abandoned };

// Finishes an overlapped operation that was started on `file` with `slot`. On expiry the
// operation is cancelled and waited for at most `cancelLimitMs` more: a driver that never
// ends it leaves it Abandoned, and the caller must keep the slot alive for it.
// `error` is the platform's code when it failed.
IoOutcome finishOverlapped(const FileIo& io, HANDLE file, IoSlot& slot, bool startedOk,
                           DWORD limitMs, DWORD cancelLimitMs, DWORD& transferred, DWORD& error) {
    transferred = 0;
    error = ERROR_SUCCESS;
    if (!startedOk && (error = ::GetLastError()) != ERROR_IO_PENDING) return IoOutcome::Failed;
    bool expired = false;
    if (!startedOk && ::WaitForSingleObject(slot.event.get(), limitMs) != WAIT_OBJECT_0) {
        expired = true;
        io.cancelIoEx(file, &slot.overlapped);
        if (::WaitForSingleObject(slot.event.get(), cancelLimitMs) != WAIT_OBJECT_0)
            return IoOutcome::Abandoned;
    }
    // The operation has ended; fetching its result does not wait.
    if (io.getOverlappedResult(file, &slot.overlapped, &transferred, FALSE)) {
        error = ERROR_SUCCESS;
        return IoOutcome::Completed;
    }
    error = ::GetLastError();
    if (error == ERROR_IO_INCOMPLETE) return IoOutcome::Abandoned;
    return expired && error == ERROR_OPERATION_ABORTED ? IoOutcome::TimedOut : IoOutcome::Failed;
}

// Missing from mingw-w64's headers.
constexpr DWORD kErrorNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE

// What the HID class driver may answer while its device is being removed. The same codes are
// seen with the device attached (ERROR_GEN_FAILURE from a transfer that failed), so the device
// list decides.
bool mayMeanDeviceLeft(DWORD error) {
    return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_BAD_COMMAND ||
           error == ERROR_GEN_FAILURE || error == ERROR_DEVICE_REMOVED ||
           error == kErrorNoSuchDevice || error == ERROR_OPERATION_ABORTED;
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
        {ERROR_DEVICE_REMOVED, "ERROR_DEVICE_REMOVED"},
        {kErrorNoSuchDevice, "ERROR_NO_SUCH_DEVICE"},
        {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
        {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
        {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION"},
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

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Every present HID interface's path, in the platform's order.
std::vector<std::string> presentInterfacePaths(const SetupApi& api) {
    std::vector<std::string> paths;
    GUID hidGuid;
    ::HidD_GetHidGuid(&hidGuid);
    const DeviceInfoSet set(
        api.getClassDevs(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE), api);
    if (!set) return paths;

    // The first member index that fails ends the list, whatever the cause.
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        // 28 bytes on 32-bit Windows, 32 on 64-bit.
        interfaceData.cbSize = sizeof interfaceData;
        if (!api.enumDeviceInterfaces(set.get(), nullptr, &hidGuid, index, &interfaceData)) {
            break;
        }

        DWORD required = 0;
        api.getDeviceInterfaceDetail(set.get(), &interfaceData, nullptr, 0, &required, nullptr);
        constexpr DWORD pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        if (required <= pathOffset) continue;

        // One spare zero byte keeps the path terminated whatever the call left there.
        const std::size_t bufferSize =
            std::max<std::size_t>(required + 1, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
        auto storage = std::make_unique<std::byte[]>(bufferSize);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.get());
        // The fixed part of the record, not the buffer: 5 on 32-bit Windows, 8 on 64-bit.
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!api.getDeviceInterfaceDetail(set.get(), &interfaceData, detail, required, nullptr,
                                          nullptr)) {
            continue;
        }
        std::string path(detail->DevicePath, ::strnlen(detail->DevicePath, required - pathOffset));
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
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

}  // namespace

// The hold this program has on one interface: the first open, made without sharing so that no
// other program can open it meanwhile. Further opens in this program duplicate its handle.
class InterfaceClaim {
  public:
    explicit InterfaceClaim(UniqueHandle file) : file_(std::move(file)) {}
    HANDLE get() const { return file_.get(); }

  private:
    UniqueHandle file_;
};

namespace {

struct Claims {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<InterfaceClaim>> byPath;  // lower-case paths
};

Claims& claims() {
    static Claims c;
    return c;
}

// Every handle is opened for overlapped I/O: the same kind of handle serves for writes
// and queries (DeviceLink's first open) and for reads with a time limit (its second).
// Every buffer and OVERLAPPED the driver may write into belongs to the handle; an operation
// the driver never ends, even when cancelled, is handed to the process with them, and the
// handle counts as gone from then on.
class WinHidHandle final : public HidHandle {
  public:
    struct Limits {
        DWORD writeMs, cancelMs;
    };
    WinHidHandle(UniqueHandle file, std::shared_ptr<InterfaceClaim> claim, std::string path,
                 Limits limits, const SetupApi& api, const FileIo& io)
        : file_(std::move(file)),
          claim_(std::move(claim)),
          path_(std::move(path)),
          limits_(limits),
          api_(api),
          io_(io) {}

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
        if (abandoned_) return WriteStatus::Gone;
        if (!ensureSlot(writeSlot_)) {
            failure_ = describeError("CreateEventA", ::GetLastError());
            return WriteStatus::Refused;
        }
        IoSlot& slot = *writeSlot_;
        slot.buffer.assign(report.begin(), report.end());
        const auto size = static_cast<DWORD>(slot.buffer.size());
        const bool started =
            io_.writeFile(file_.get(), slot.buffer.data(), size, nullptr, &slot.overlapped);
        DWORD written = 0, error = 0;
        const IoOutcome outcome = finishOverlapped(io_, file_.get(), slot, started, limits_.writeMs,
                                                   limits_.cancelMs, written, error);
        if (outcome == IoOutcome::Completed && written == size) return WriteStatus::Taken;
        if (outcome == IoOutcome::Completed) {
            failure_ = "WriteFile: took " + std::to_string(written) + " of " +
                       std::to_string(size) + " bytes";
        } else if (outcome == IoOutcome::TimedOut) {
            failure_ =
                "WriteFile: not taken within " + std::to_string(limits_.writeMs) + " ms, given up";
        } else if (outcome == IoOutcome::Abandoned) {
            abandon(writeSlot_, "WriteFile");
            return WriteStatus::Gone;
        } else {
            failure_ = describeError("WriteFile", error);
            if (mayMeanDeviceLeft(error) && deviceLeft()) return WriteStatus::Gone;
        }
        return WriteStatus::Refused;
    }

    ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (abandoned_) return ReadStatus::Gone;
        if (buffer.empty()) {
            failure_ = "ReadFile: no room for a report";
            return ReadStatus::Failed;
        }
        if (!ensureSlot(readSlot_)) {
            failure_ = describeError("CreateEventA", ::GetLastError());
            return ReadStatus::Failed;
        }
        // The platform writes into storage owned by the handle; the caller's buffer is
        // touched only when a report really came.
        IoSlot& slot = *readSlot_;
        slot.buffer.assign(buffer.size(), 0);
        const bool started =
            io_.readFile(file_.get(), slot.buffer.data(), static_cast<DWORD>(slot.buffer.size()),
                         nullptr, &slot.overlapped);
        DWORD got = 0, error = 0;
        const IoOutcome outcome =
            finishOverlapped(io_, file_.get(), slot, started, toWaitMilliseconds(timeout),
                             limits_.cancelMs, got, error);
        if (outcome == IoOutcome::Abandoned) {
            abandon(readSlot_, "ReadFile");
            return ReadStatus::Gone;
        }
        ::ResetEvent(slot.event.get());
        if (outcome == IoOutcome::TimedOut) return ReadStatus::Timeout;
        if (outcome == IoOutcome::Failed) {
            failure_ = describeError("ReadFile", error);
            return mayMeanDeviceLeft(error) && deviceLeft() ? ReadStatus::Gone : ReadStatus::Failed;
        }
        if (got == 0) {
            failure_ = "ReadFile: no bytes";
            return ReadStatus::Failed;
        }
        std::copy_n(slot.buffer.begin(), got, buffer.begin());
        std::fill(buffer.begin() + got, buffer.end(), 0);
        return ReadStatus::Report;
    }

    void discardQueuedInput() override {
        if (!abandoned_) ::HidD_FlushQueue(file_.get());
    }

    std::string failureText() const override { return failure_; }

  private:
    static bool ensureSlot(std::unique_ptr<IoSlot>& slot) {
        if (!slot) slot = std::make_unique<IoSlot>();
        // Manual reset: the overlapped operation signals it, the wait leaves it signalled.
        if (!slot->event) slot->event.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        slot->overlapped = OVERLAPPED{};
        slot->overlapped.hEvent = slot->event.get();
        return static_cast<bool>(slot->event);
    }

    // The driver kept an operation past its cancel: the process keeps what it may still write
    // into, and the device counts as gone, so that the link closes it and searches again.
    void abandon(std::unique_ptr<IoSlot>& slot, const char* call) {
        abandonIo(std::move(slot));
        abandoned_ = true;
        failure_ = std::string(call) + ": not ended " + std::to_string(limits_.cancelMs) +
                   " ms after it was cancelled; the unit counts as gone";
    }

    // Asks the device list whether the interface is still there; one that left says so.
    bool deviceLeft() {
        const std::string mine = lowerCase(path_);
        for (const std::string& present : presentInterfacePaths(api_))
            if (lowerCase(present) == mine) {
                failure_ += ", the device is still there";
                return false;
            }
        failure_ += ", the device is no longer listed";
        return true;
    }

    UniqueHandle file_;
    std::shared_ptr<InterfaceClaim> claim_;
    std::string path_;
    Limits limits_;
    const SetupApi& api_;
    const FileIo& io_;
    std::string failure_;
    bool abandoned_ = false;
    std::unique_ptr<IoSlot> readSlot_;
    std::unique_ptr<IoSlot> writeSlot_;
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
    const std::string lower = lowerCase(path);
    const auto vid = hexAfter(lower, "vid_");
    const auto pid = hexAfter(lower, "pid_");
    if (!vid || !pid) return std::nullopt;
    return HidAttributes{*vid, *pid, 0};
}

WinHidTransport::WinHidTransport() : WinHidTransport(SetupApi::system()) {}

WinHidTransport::WinHidTransport(const SetupApi& api, std::chrono::milliseconds writeLimit)
    : WinHidTransport(api, writeLimit, FileIo::system()) {}

WinHidTransport::WinHidTransport(const SetupApi& api, std::chrono::milliseconds writeLimit,
                                 const FileIo& io, std::chrono::milliseconds cancelLimit)
    : api_(api), writeLimit_(writeLimit), io_(io), cancelLimit_(cancelLimit) {}

bool WinHidTransport::unitsOutliveProgram() const {
    return &api_ == &SetupApi::system() && &io_ == &FileIo::system();
}

std::vector<InterfaceEntry> WinHidTransport::listInterfaces() {
    std::vector<InterfaceEntry> entries;
    for (std::string& path : presentInterfacePaths(api_)) {
        auto identity = identityFromInterfacePath(path);
        entries.push_back({std::move(path), identity, std::nullopt});
    }
    return entries;
}

std::unique_ptr<HidHandle> WinHidTransport::open(const std::string& path, OpenError& error) {
    const WinHidHandle::Limits limits{toWaitMilliseconds(writeLimit_),
                                      toWaitMilliseconds(cancelLimit_)};
    Claims& c = claims();
    const std::lock_guard guard(c.mutex);
    std::weak_ptr<InterfaceClaim>& slot = c.byPath[lowerCase(path)];
    if (std::shared_ptr<InterfaceClaim> claim = slot.lock()) {
        // Held by this program already: another handle on the same open.
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), claim->get(), ::GetCurrentProcess(), &copy, 0,
                               FALSE, DUPLICATE_SAME_ACCESS)) {
            error = OpenError::Failed;
            return nullptr;
        }
        error = OpenError::None;
        return std::make_unique<WinHidHandle>(UniqueHandle(copy), std::move(claim), path, limits,
                                              api_, io_);
    }

    // No sharing: while this program holds the interface no other can open it, and one that
    // holds it already makes this open fail with a sharing violation.
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!file) {
        const DWORD code = ::GetLastError();
        error = code == ERROR_SHARING_VIOLATION ? OpenError::Busy
                : code == ERROR_ACCESS_DENIED   ? OpenError::NotPermitted
                                                : OpenError::Failed;
        return nullptr;
    }
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), file.get(), ::GetCurrentProcess(), &copy, 0,
                           FALSE, DUPLICATE_SAME_ACCESS)) {
        error = OpenError::Failed;
        return nullptr;
    }
    // The queue belongs to the open interface, shared by every handle on it. It is sized before
    // anything is written: Wine's HID class driver empties it when it is resized, so that the
    // answer to a first command, come before a first read asked for the size, was lost.
    // Where this is no HID handle (a test's pipe) the default queue stays.
    api_.setNumInputBuffers(file.get(), kInputBuffers);
    auto claim = std::make_shared<InterfaceClaim>(std::move(file));
    slot = claim;
    error = OpenError::None;
    return std::make_unique<WinHidHandle>(UniqueHandle(copy), std::move(claim), path, limits, api_,
                                          io_);
}

std::string WinHidTransport::permissionHint() const {
    return "Windows refused access to it: a device policy of this PC may block it; ask the "
           "administrator.";
}

std::string WinHidTransport::portPathOf(const std::string& path) { return usbLocationOf(path); }

namespace {

// One of the device's strings as UTF-8; empty when it has none.
std::string deviceString(HANDLE file, decltype(&::HidD_GetProductString) get) {
    wchar_t wide[127] = {};  // USB strings hold at most 126 characters
    if (!get(file, wide, sizeof wide - sizeof(wchar_t))) return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string text(static_cast<std::size_t>(length - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    return text;
}

}  // namespace

UsbDescription WinHidTransport::describe(const std::string& path) {
    UniqueHandle file(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    UsbDescription description;
    HIDD_ATTRIBUTES a{};
    a.Size = sizeof a;
    if (::HidD_GetAttributes(file.get(), &a)) description.version = a.VersionNumber;
    description.manufacturer = deviceString(file.get(), &::HidD_GetManufacturerString);
    description.product = deviceString(file.get(), &::HidD_GetProductString);
    description.serial = deviceString(file.get(), &::HidD_GetSerialNumberString);
    return description;
}

}  // namespace kavo3::link::windows
