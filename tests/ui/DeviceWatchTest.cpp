// The watch brings a source's events into the event loop: woken by the source's descriptor or
// by the time a change is due, and handing every event on from the loop, never from inside the
// call that raised it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <vector>

#include "ui/DeviceWatch.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kavo3::ui {
namespace {

using link::DeviceEvent;
using Clock = link::DeviceEvents::Clock;

class ScriptedSource : public link::DeviceEvents {
  public:
    ScriptedSource() {
#ifndef _WIN32
        if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
#endif
    }
    ~ScriptedSource() override {
#ifndef _WIN32
        ::close(fds_[0]);
        ::close(fds_[1]);
#endif
    }
    int descriptor() const override { return fds_[0]; }
    std::optional<Clock::time_point> nextChangeDue() const override { return due_; }
    void receive() override {
        ++receives;
#ifndef _WIN32
        char scratch[16];
        if (!waiting_.empty()) (void)::read(fds_[0], scratch, sizeof scratch);
#endif
        if (due_ && Clock::now() >= *due_) {
            due_.reset();
            waiting_.push_back({DeviceEvent::Kind::Arrived, "due", std::nullopt});
        }
        const auto events = std::move(waiting_);
        waiting_.clear();
        for (const DeviceEvent& e : events) raise(e);
    }

    // An event that waits behind the descriptor.
    void post(const DeviceEvent& event) {
        waiting_.push_back(event);
#ifndef _WIN32
        (void)::write(fds_[1], "x", 1);
#endif
    }
    void dueIn(std::chrono::milliseconds after) { due_ = Clock::now() + after; }
    void raiseNow(const DeviceEvent& event) { raise(event); }

    int receives = 0;

  private:
    int fds_[2] = {-1, -1};
    std::vector<DeviceEvent> waiting_;
    std::optional<Clock::time_point> due_;
};

struct Heard {
    std::vector<std::string> paths;
    explicit Heard(DeviceWatch& watch) {
        QObject::connect(&watch, &DeviceWatch::changed,
                         [this](const DeviceEvent& e) { paths.push_back(e.path); });
    }
    // Lets the loop run until `count` events were heard, at most two seconds.
    bool waitFor(std::size_t count) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (paths.size() < count && elapsed.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return paths.size() >= count;
    }
};

TEST(DeviceWatch, AnEventRaisedInsideACallReachesTheWindowsOnlyFromTheLoop) {
    ScriptedSource source;
    DeviceWatch watch(source);
    Heard heard(watch);
    source.raiseNow({DeviceEvent::Kind::Left, "/dev/hidraw1", std::nullopt});
    EXPECT_TRUE(heard.paths.empty());
    ASSERT_TRUE(heard.waitFor(1));
    EXPECT_EQ(heard.paths, std::vector<std::string>{"/dev/hidraw1"});
}

#ifndef _WIN32
TEST(DeviceWatch, EventsBehindTheDescriptorAreReceivedWhenItBecomesReadable) {
    ScriptedSource source;
    DeviceWatch watch(source);
    Heard heard(watch);
    QCoreApplication::processEvents();
    EXPECT_EQ(source.receives, 0);  // nothing readable, nothing received
    source.post({DeviceEvent::Kind::Arrived, "/dev/hidraw2", std::nullopt});
    source.post({DeviceEvent::Kind::Left, "/dev/hidraw3", std::nullopt});
    ASSERT_TRUE(heard.waitFor(2));
    EXPECT_EQ(heard.paths, (std::vector<std::string>{"/dev/hidraw2", "/dev/hidraw3"}));
}
#endif

TEST(DeviceWatch, AChangeDueLaterIsReceivedAtItsTimeAndNotBefore) {
    ScriptedSource source;
    source.dueIn(std::chrono::milliseconds(30));
    const Clock::time_point due = *source.nextChangeDue();
    DeviceWatch watch(source);
    Heard heard(watch);
    QCoreApplication::processEvents();
    EXPECT_TRUE(heard.paths.empty());
    ASSERT_TRUE(heard.waitFor(1));
    EXPECT_GE(Clock::now(), due);
    EXPECT_EQ(heard.paths, std::vector<std::string>{"due"});
    EXPECT_FALSE(source.nextChangeDue());
}

}  // namespace
}  // namespace kavo3::ui
