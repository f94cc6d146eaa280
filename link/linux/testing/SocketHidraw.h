// A fake sysfs tree in a temporary folder, and a HidrawTransport whose device nodes are
// sockets: each plugged node is one end of a SOCK_SEQPACKET pair (it keeps report
// boundaries as hidraw does), the other end plays the unit. Shared by the tests and the
// benchmarks of the hidraw backend.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "link/linux/HidrawTransport.h"
#include "link/linux/UniqueFd.h"

namespace kavo3::link::testing {

using Bytes = std::vector<std::uint8_t>;

// Vendor page, 64 bytes in and out, no report IDs: the unit's own shape.
inline Bytes vendorDescriptor(std::uint8_t inBytes = 64, std::uint8_t outBytes = 64) {
    return {
        0x06, 0x00,     0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor usage, application collection
        0x15, 0x00,     0x26, 0xFF, 0x00, 0x75, 0x08,  // bytes of 0..255
        0x95, inBytes,  0x09, 0x01, 0x81, 0x02,        // Input
        0x95, outBytes, 0x09, 0x01, 0x91, 0x02,        // Output
        0xC0,
    };
}

// The same with every report under Report ID 1.
inline Bytes numberedDescriptor() {
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15,
            0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
            0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};
}

inline std::string uevent(std::uint16_t vendor, std::uint16_t product) {
    char line[64];
    std::snprintf(line, sizeof line, "HID_ID=0003:%08X:%08X\n", vendor, product);
    return "DRIVER=hid-generic\n" + std::string(line) + "HID_NAME=Test Device\n";
}

class FakeSysfs {
  public:
    FakeSysfs() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hidraw-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        std::filesystem::create_directories(root_ / "sys" / "class" / "hidraw");
        std::filesystem::create_directories(root_ / "dev");
    }
    ~FakeSysfs() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string sys() const { return (root_ / "sys").string(); }
    std::string dev() const { return (root_ / "dev").string(); }
    std::string node(const std::string& name) const { return dev() + "/" + name; }

    // A hidraw entry with its HID device's uevent and report descriptor.
    void add(const std::string& name, const std::string& ueventText, const Bytes& descriptor) {
        const auto device = root_ / "sys" / "class" / "hidraw" / name / "device";
        std::filesystem::create_directories(device);
        std::ofstream(device / "uevent") << ueventText;
        std::ofstream out(device / "report_descriptor", std::ios::binary);
        out.write(reinterpret_cast<const char*>(descriptor.data()),
                  static_cast<std::streamsize>(descriptor.size()));
    }
    // The device has left: its hidraw entry is no longer listed.
    void remove(const std::string& name) {
        std::error_code ec;
        std::filesystem::remove_all(root_ / "sys" / "class" / "hidraw" / name, ec);
    }
    void addUnit(const std::string& name, std::uint16_t vendor, std::uint16_t product,
                 const Bytes& descriptor = vendorDescriptor()) {
        add(name, uevent(vendor, product), descriptor);
    }

  private:
    std::filesystem::path root_;
};

// The node calls with the failures real drivers show, switched on by the test; each applies
// to every node while set.
class FaultyNodeCalls : public NodeCalls {
  public:
    int writeError = 0;    // writes fail with this errno
    int writeErrors = -1;  // ... this many times, then succeed again (-1: every time)
    std::chrono::milliseconds writeBlocks{0};  // a failing write first blocks this long
    int readError = 0;                         // every read fails with this errno
    short pollFlags = 0;  // every poll reports these (POLLHUP, POLLERR) besides what is queued
    // As hidraw's list of each open: at most this many input reports; what comes while it is
    // full is dropped (0: the socket's own queue).
    std::size_t queueLimit = 0;
    int writeCalls = 0;

    ssize_t write(int fd, const void* data, std::size_t size) override {
        ++writeCalls;
        if (writeError == 0 || writeErrors == 0) return NodeCalls::write(fd, data, size);
        if (writeErrors > 0) --writeErrors;
        std::this_thread::sleep_for(writeBlocks);
        errno = writeError;
        return -1;
    }
    ssize_t read(int fd, void* data, std::size_t size) override {
        if (readError != 0) {
            errno = readError;
            return -1;
        }
        if (queueLimit == 0) return NodeCalls::read(fd, data, size);
        auto& queue = fill(fd);
        if (queue.empty()) return NodeCalls::read(fd, data, size);
        const std::size_t n = std::min(size, queue.front().size());
        std::memcpy(data, queue.front().data(), n);
        queue.pop_front();
        return static_cast<ssize_t>(n);
    }
    int poll(pollfd* fds, nfds_t count, int timeoutMs) override {
        if (queueLimit > 0 && count == 1 && (fds[0].events & POLLIN) && !fill(fds[0].fd).empty()) {
            fds[0].revents = POLLIN | pollFlags;
            return 1;
        }
        if (pollFlags == 0) return NodeCalls::poll(fds, count, timeoutMs);
        // As hidraw does for a device that has left: at once, and whatever is still queued.
        const int ready = NodeCalls::poll(fds, count, 0);
        if (ready < 0) return ready;
        for (nfds_t i = 0; i < count; ++i) fds[i].revents |= pollFlags;
        return static_cast<int>(count);
    }

  private:
    // Moves what the unit sent into the open's list, keeping the oldest as hidraw does.
    std::deque<Bytes>& fill(int fd) {
        auto& queue = queues_[fd];
        Bytes report(4096);
        for (;;) {
            const ssize_t n = ::recv(fd, report.data(), report.size(), MSG_DONTWAIT);
            if (n <= 0) break;
            if (queue.size() < queueLimit) queue.emplace_back(report.begin(), report.begin() + n);
        }
        return queue;
    }
    std::map<int, std::deque<Bytes>> queues_;
};

class SocketHidrawTransport : public HidrawTransport {
  public:
    using HidrawTransport::HidrawTransport;

    std::vector<std::string> opens;  // every node open, in order
    FaultyNodeCalls faults;

    // Puts a socket in place of the node at `path`; returns the unit's end.
    UniqueFd plug(const std::string& path) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
        nodes_[path] = UniqueFd(ends[0]);
        return UniqueFd(ends[1]);
    }
    void refuse(const std::string& path, int error) { refusals_[path] = error; }

  protected:
    int openNode(const std::string& path) override {
        opens.push_back(path);
        if (const auto r = refusals_.find(path); r != refusals_.end()) return -r->second;
        const auto n = nodes_.find(path);
        if (n == nodes_.end()) return HidrawTransport::openNode(path);
        const int fd = ::fcntl(n->second.get(), F_DUPFD_CLOEXEC, 0);
        return fd < 0 ? -errno : fd;
    }

    NodeCalls& nodeCalls() override { return faults; }

  private:
    std::map<std::string, UniqueFd> nodes_;
    std::map<std::string, int> refusals_;
};

}  // namespace kavo3::link::testing
