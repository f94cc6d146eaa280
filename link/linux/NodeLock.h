// One program per unit: the advisory lock that every program of ours takes on a hidraw node
// before it sends anything. Opens of the same node within one program share one lock.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace kavo3::link {

class NodeLock {
  public:
    ~NodeLock();
    NodeLock(const NodeLock&) = delete;
    NodeLock& operator=(const NodeLock&) = delete;

    enum class Outcome { Held, Busy };
    // Holds the node that `fd` is open on for this program, or shares the hold this program
    // already has on it; Busy when another program holds it. A file system without locks
    // leaves the node unlocked rather than refused.
    static std::shared_ptr<NodeLock> take(int fd, Outcome& outcome);

    // The process holding the lock on the node at `path`, as the kernel lists it.
    static std::optional<long> holderOf(const std::string& path,
                                        const std::string& locksTable = "/proc/locks");

  private:
    struct Key {
        unsigned long long device, inode;
        auto operator<=>(const Key&) const = default;
    };
    NodeLock(int fd, Key key) : fd_(fd), key_(key) {}

    int fd_;  // a duplicate of the locking descriptor: the lock lasts as long as it is open
    Key key_;
};

}  // namespace kavo3::link
