#include "link/ProcessName.h"

#include <windows.h>

#include "link/windows/WinHandles.h"

namespace kavo3::link {

std::string processName(long pid) {
    if (pid <= 0) return {};
    windows::UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
    if (!process) return {};
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!::QueryFullProcessImageNameA(process.get(), 0, path, &size)) return {};
    std::string name(path, size);
    const std::size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace kavo3::link
