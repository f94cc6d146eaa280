#include "ui/DeviceWatch.h"

#include <algorithm>
#include <chrono>

namespace kavo3::ui {

DeviceWatch::DeviceWatch(link::DeviceEvents& source, QObject* parent)
    : QObject(parent), source_(source) {
    setObjectName("DeviceWatch");
    source_.setListener([this](const link::DeviceEvent& event) {
        // Raised maybe in the middle of an exchange: handled once the event loop runs again.
        QMetaObject::invokeMethod(
            this, [this, event] { emit changed(event); }, Qt::QueuedConnection);
        armForNextChange();
    });
    if (source_.descriptor() >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(source_.descriptor(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { source_.receive(); });
    }
    changeDue_.setSingleShot(true);
    // A coarse timer may fire before the change is due.
    changeDue_.setTimerType(Qt::PreciseTimer);
    connect(&changeDue_, &QTimer::timeout, this, [this] {
        source_.receive();
        armForNextChange();
    });
    armForNextChange();
}

DeviceWatch::~DeviceWatch() { source_.setListener(nullptr); }

void DeviceWatch::armForNextChange() {
    const auto due = source_.nextChangeDue();
    if (!due) {
        changeDue_.stop();
        return;
    }
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(*due - link::DeviceEvents::Clock::now());
    changeDue_.start(static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000)));
}

}  // namespace kavo3::ui
