#include "link/linux/NodeLock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace kavo3::link {
namespace {

// The locks this program holds, by node; links on several threads search at once.
struct Registry {
    std::mutex mutex;
    std::map<std::pair<unsigned long long, unsigned long long>, std::weak_ptr<NodeLock>> held;
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

NodeLock::~NodeLock() {
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    // Released before another thread may try the node again.
    ::close(fd_);
    const auto it = r.held.find({key_.device, key_.inode});
    if (it != r.held.end() && it->second.expired()) r.held.erase(it);
}

std::shared_ptr<NodeLock> NodeLock::take(int fd, Outcome& outcome) {
    outcome = Outcome::Held;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return nullptr;
    const Key key{static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino)};

    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    auto& slot = r.held[{key.device, key.inode}];
    if (auto shared = slot.lock()) return shared;

    // A lock on another open of the node, by this program or another, refuses this one.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) {
            outcome = Outcome::Busy;
            return nullptr;
        }
        return nullptr;  // no locks here: nothing to hold, nothing to refuse
    }
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;  // the lock goes with fd's own open
    std::shared_ptr<NodeLock> lock(new NodeLock(copy, key));
    slot = lock;
    return lock;
}

std::optional<long> NodeLock::holderOf(const std::string& path, const std::string& locksTable) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", ::major(st.st_dev), ::minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));

    // "1: FLOCK  ADVISORY  WRITE 4242 00:05:1043 0 EOF"; waiters carry "->" after the number.
    std::ifstream table(locksTable);
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, node;
        long pid = 0;
        if (!(fields >> number >> kind) || kind != "FLOCK") continue;
        if (!(fields >> mode >> access >> pid >> node)) continue;
        if (node == wanted && pid > 0) return pid;
    }
    return std::nullopt;
}

}  // namespace kavo3::link
