#include "link/windows/AbandonedIo.h"

#include <algorithm>
#include <mutex>

namespace kavo3::link::windows {
namespace {

struct Kept {
    std::mutex mutex;
    std::vector<std::unique_ptr<IoSlot>> slots;
};

// Never destroyed: a driver may end an operation while the process is on its way out.
Kept& kept() {
    static Kept* k = new Kept;
    return *k;
}

bool ended(const IoSlot& slot) {
    return HasOverlappedIoCompleted(&slot.overlapped) &&
           ::WaitForSingleObject(slot.event.get(), 0) == WAIT_OBJECT_0;
}

void freeEnded(std::vector<std::unique_ptr<IoSlot>>& slots) {
    slots.erase(std::remove_if(slots.begin(), slots.end(),
                               [](const std::unique_ptr<IoSlot>& s) { return ended(*s); }),
                slots.end());
}

}  // namespace

void abandonIo(std::unique_ptr<IoSlot> slot) {
    Kept& k = kept();
    const std::lock_guard guard(k.mutex);
    freeEnded(k.slots);
    k.slots.push_back(std::move(slot));
}

std::size_t abandonedIoCount() {
    Kept& k = kept();
    const std::lock_guard guard(k.mutex);
    freeEnded(k.slots);
    return k.slots.size();
}

}  // namespace kavo3::link::windows
