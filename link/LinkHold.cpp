#include "link/LinkHold.h"

#include <utility>

namespace kavo3::link {

DeviceLink::Hold DeviceLink::hold() {
    if (held_) {
        note("link held already: a second hold gets nothing through");
        return Hold(*this, false);
    }
    held_ = true;
    return Hold(*this, true);
}

void DeviceLink::runWhenFree(std::function<void()> command) {
    if (!held_) {
        command();
        return;
    }
    note("link held: a command waits for the hold to end");
    whenFree_.push_back(std::move(command));
}

bool DeviceLink::refusedWhileHeld(const char* what) {
    if (!held_ || holderActing_) return false;
    note(std::string("link held: ") + what + " of another caller refused, nothing sent");
    return true;
}

namespace {
// The holder's calls pass the hold's refusal; every other caller's are refused.
template <typename Call>
auto asHolder(DeviceLink* link, bool& acting, bool active, Call call) {
    acting = active;
    auto result = call(*link);
    acting = false;
    return result;
}
}  // namespace

bool DeviceLink::Hold::WriteReport(const Command& bytes, Meant meant, Attachment to) {
    if (!link_) return false;
    return asHolder(link_, link_->holderActing_, active_,
                    [&](DeviceLink& l) { return l.WriteReport(bytes, meant, to); });
}

Reply DeviceLink::Hold::ReadReport(Attachment from) {
    if (!link_) return {};
    return asHolder(link_, link_->holderActing_, active_,
                    [&](DeviceLink& l) { return l.ReadReport(from); });
}

void DeviceLink::Hold::release() {
    if (!link_ || !active_) return;
    active_ = false;
    DeviceLink& link = *link_;
    link.held_ = false;
    link.lostWhileHeld_ = false;
    // A command that runs now may itself wait for a later hold; take the list as it stands.
    std::vector<std::function<void()>> waiting = std::move(link.whenFree_);
    link.whenFree_.clear();
    for (auto& command : waiting) command();
}

}  // namespace kavo3::link
