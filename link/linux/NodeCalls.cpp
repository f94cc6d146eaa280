#include "link/linux/NodeCalls.h"

#include <unistd.h>

namespace kavo3::link {

ssize_t NodeCalls::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

ssize_t NodeCalls::read(int fd, void* data, std::size_t size) { return ::read(fd, data, size); }

int NodeCalls::poll(pollfd* fds, nfds_t count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}

NodeCalls& NodeCalls::system() {
    static NodeCalls calls;
    return calls;
}

}  // namespace kavo3::link
