// The far end of a named pipe, standing in for a device: what the backend opens by path
// and reads and writes with overlapped I/O, with the test on the other side.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "link/windows/WinHandles.h"

namespace kavo3::link::windows::testing {

class PipeEnd {
  public:
    explicit PipeEnd(DWORD inBufferSize = 4096) : path_(uniqueName()) {
        handle_.reset(::CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                         4096, inBufferSize, 0, nullptr));
    }

    const std::string& path() const { return path_; }
    bool valid() const { return static_cast<bool>(handle_); }

    // Call once the backend has opened the path.
    bool accept() {
        return ::ConnectNamedPipe(handle_.get(), nullptr) ||
               ::GetLastError() == ERROR_PIPE_CONNECTED;
    }

    bool send(const std::vector<std::uint8_t>& bytes) {
        DWORD written = 0;
        return ::WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) &&
               written == bytes.size();
    }

    // One message as written by the other side.
    std::vector<std::uint8_t> receive(std::size_t atMost = 4096) {
        std::vector<std::uint8_t> bytes(atMost);
        DWORD got = 0;
        if (!::ReadFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got,
                        nullptr)) {
            return {};
        }
        bytes.resize(got);
        return bytes;
    }

    void close() { handle_.reset(); }

  private:
    static std::string uniqueName() {
        static std::atomic<int> counter{0};
        return "\\\\.\\pipe\\kavo3-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
               std::to_string(counter++);
    }

    std::string path_;
    UniqueHandle handle_;
};

}  // namespace kavo3::link::windows::testing
