// kavo3probe: runs the search for a KAVO-3 over the Windows HID backend and says what it saw:
// every interface listed, what the search made of each, the outcome, and whether the search
// left any handle open. Exit code 0 when the search ended cleanly, found or not.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "link/DeviceLink.h"
#include "link/ProgramName.h"
#include "link/Trace.h"
#include "link/windows/HandleCount.h"
#include "link/windows/WinHidTransport.h"

namespace {

using namespace kavo3::link;

std::string hex4(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", v);
    return buf;
}

void printFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) std::printf("  %s\n", line.c_str());
}

}  // namespace

int main() {
    kavo3::link::setProgramName("kavo3probe");
    windows::WinHidTransport transport;

    std::printf("kavo3probe: searching the HID interfaces for a KAVO-3\n");
    const auto listed = transport.listInterfaces();
    std::printf("interfaces listed: %zu\n", listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const auto& entry = listed[i];
        std::printf("  [%zu] %s", i, entry.path.c_str());
        if (entry.listedIdentity) {
            std::printf("  (path says %s:%s)", hex4(entry.listedIdentity->VendorID).c_str(),
                        hex4(entry.listedIdentity->ProductID).c_str());
        }
        std::printf("\n");
    }

    const auto tracePath = std::filesystem::temp_directory_path() /
                           ("kavo3probe-" + std::to_string(::GetCurrentProcessId()) + ".log");
    std::filesystem::remove(tracePath);
    bool found = false;
    std::size_t before = 0;
    std::size_t afterSearch = 0;
    std::size_t afterClose = 0;
    std::string foundPath;
    HidCaps caps{};
    {
        auto trace = Trace::open(tracePath.string());
        if (!trace) {
            std::printf("cannot write the trace to %s\n", tracePath.string().c_str());
            return 2;
        }
        {
            before = windows::countOpenHandles();
            DeviceLink link(transport, DeviceLink::kReadWait, trace.get());
            found = link.OpenDevice();
            afterSearch = windows::countOpenHandles();
            foundPath = link.DevicePath();
            caps = link.caps();
            link.close();
        }
        afterClose = windows::countOpenHandles();
    }
    std::printf("search trace:\n");
    printFile(tracePath);
    std::error_code ignored;
    std::filesystem::remove(tracePath, ignored);

    if (found) {
        std::printf("result: unit found at %s, reports in %u out %u\n", foundPath.c_str(),
                    caps.InputReportByteLength, caps.OutputReportByteLength);
    } else {
        std::printf("result: no unit found\n");
    }
    std::printf("open handles: before the search %zu, after it %zu%s, after closing %zu\n", before,
                afterSearch, found ? " (the link holds the unit twice)" : "", afterClose);
    const std::size_t left = found ? afterClose : std::max(afterSearch, afterClose);
    if (left != before) {
        std::printf("error: the search left %lld handle(s) open\n",
                    static_cast<long long>(left) - static_cast<long long>(before));
        return 1;
    }
    std::printf("search ended cleanly\n");
    return 0;
}
