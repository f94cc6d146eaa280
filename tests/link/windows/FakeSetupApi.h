// Stands in for the device-installation calls with a scripted list of interface paths,
// behaving as Windows documents them: record sizes checked, the two-step detail query,
// ERROR_NO_MORE_ITEMS past the end; and for the HID queue setting. Records how the backend
// called it.
#pragma once

#include <windows.h>
// windows.h first.
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "link/windows/SetupApi.h"

namespace kavo3::link::windows::testing {

struct FakeSetup {
    std::vector<std::string> paths;
    bool classDevsFails = false;
    DWORD enumFailsAt = MAXDWORD;    // this member index fails although more follow
    DWORD detailFailsAt = MAXDWORD;  // the detail of this member cannot be read

    GUID classGuid{};
    DWORD classFlags = 0;
    std::vector<DWORD> enumeratedIndexes;
    int setsMade = 0;
    int setsDestroyed = 0;
    int wrongRecordSizes = 0;
    int wrongSets = 0;
    std::vector<ULONG> inputBufferCounts;  // every HidD_SetNumInputBuffers, in order

    const SetupApi& api() {
        current() = this;
        return table;
    }

    static HDEVINFO theSet() { return reinterpret_cast<HDEVINFO>(std::uintptr_t{0x5e7}); }

  private:
    static FakeSetup*& current() {
        static FakeSetup* fake = nullptr;
        return fake;
    }

    static HDEVINFO WINAPI getClassDevs(const GUID* guid, PCSTR, HWND, DWORD flags) {
        FakeSetup& f = *current();
        f.classGuid = *guid;
        f.classFlags = flags;
        if (f.classDevsFails) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        ++f.setsMade;
        return theSet();
    }

    static BOOL WINAPI enumInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                      PSP_DEVICE_INTERFACE_DATA data) {
        FakeSetup& f = *current();
        f.enumeratedIndexes.push_back(index);
        if (set != theSet()) ++f.wrongSets;
        if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
            ++f.wrongRecordSizes;
            ::SetLastError(ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        if (index >= f.paths.size() || index == f.enumFailsAt) {
            ::SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        data->InterfaceClassGuid = f.classGuid;
        data->Flags = SPINT_ACTIVE;
        data->Reserved = index;
        return TRUE;
    }

    static BOOL WINAPI getDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                 PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                 PDWORD required, PSP_DEVINFO_DATA) {
        FakeSetup& f = *current();
        if (set != theSet()) ++f.wrongSets;
        const std::string& path = f.paths.at(data->Reserved);
        const DWORD need =
            offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1;
        if (required) *required = need;
        if (!detail) {
            ::SetLastError(size == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            ++f.wrongRecordSizes;
            ::SetLastError(ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        if (size < need) {
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        if (data->Reserved == f.detailFailsAt) {
            ::SetLastError(ERROR_NOT_FOUND);
            return FALSE;
        }
        std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
        return TRUE;
    }

    static BOOL WINAPI destroy(HDEVINFO set) {
        FakeSetup& f = *current();
        if (set != theSet()) ++f.wrongSets;
        ++f.setsDestroyed;
        return TRUE;
    }

    // Any handle takes the setting, as a HID handle would.
    static BOOLEAN WINAPI setNumInputBuffers(HANDLE, ULONG count) {
        current()->inputBufferCounts.push_back(count);
        return TRUE;
    }

    static constexpr SetupApi table{&getClassDevs, &enumInterfaces, &getDetail, &destroy,
                                    &setNumInputBuffers};
};

}  // namespace kavo3::link::windows::testing
