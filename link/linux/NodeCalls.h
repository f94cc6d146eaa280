// The system calls on an open hidraw node, behind one small class so that a test can make
// them fail the way a node whose device has left does (ENODEV, EIO, a hang-up).
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>

namespace kavo3::link {

class NodeCalls {
  public:
    virtual ~NodeCalls() = default;

    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual ssize_t read(int fd, void* data, std::size_t size);
    virtual int poll(pollfd* fds, nfds_t count, int timeoutMs);

    // The calls themselves.
    static NodeCalls& system();
};

}  // namespace kavo3::link
