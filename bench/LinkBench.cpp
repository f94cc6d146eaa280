// Host cost of one exchange (one command report out, one input report back) through the
// device link: against the simulated unit answering at once, and through the hidraw backend
// with a socket pair in place of the node and a thread on the other end playing the unit.
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <thread>

#include "link/DeviceLink.h"
#include "link/linux/testing/SocketHidraw.h"
#include "sim/SimTransport.h"

namespace {

using namespace kavo3;
using namespace std::chrono_literals;

constexpr std::uint8_t kConnectionCheck = 2;

void exchangeWithSimulatedUnit(benchmark::State& state) {
    sim::SimTransport transport;
    link::DeviceLink link(transport, 20ms);
    if (!link.OpenDevice()) {
        state.SkipWithError("the simulated unit was not found");
        return;
    }
    link.CommandBytes = {kConnectionCheck, 0, 0, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        link.Exchange();
        benchmark::DoNotOptimize(link.ReadBuffer.data());
    }
    if (transport.reportsRead() != static_cast<long>(state.iterations()))
        state.SkipWithError("an exchange went unanswered");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(exchangeWithSimulatedUnit);

// Answers every report it receives with one 64-byte unnumbered input report, until the
// socket is shut down.
class AnsweringPeer {
  public:
    explicit AnsweringPeer(link::UniqueFd unit)
        : unit_(std::move(unit)), thread_([this] { serve(); }) {}
    ~AnsweringPeer() {
        ::shutdown(unit_.get(), SHUT_RDWR);
        thread_.join();
    }
    AnsweringPeer(const AnsweringPeer&) = delete;
    AnsweringPeer& operator=(const AnsweringPeer&) = delete;

  private:
    void serve() {
        std::array<std::uint8_t, 128> report{};
        std::array<std::uint8_t, 64> answer{};
        answer[0] = 0xAC;
        for (;;) {
            const ssize_t n = ::recv(unit_.get(), report.data(), report.size(), 0);
            if (n <= 0) return;
            answer[1] = report[1];
            if (::send(unit_.get(), answer.data(), answer.size(), MSG_NOSIGNAL) !=
                static_cast<ssize_t>(answer.size()))
                return;
        }
    }

    link::UniqueFd unit_;
    std::thread thread_;
};

void exchangeOverHidrawSocket(benchmark::State& state) {
    link::testing::FakeSysfs sysfs;
    sysfs.addUnit("hidraw0", 0x17A7, 1);
    link::testing::SocketHidrawTransport transport(sysfs.sys(), sysfs.dev());
    AnsweringPeer peer(transport.plug(sysfs.node("hidraw0")));
    link::DeviceLink link(transport, 1000ms);
    if (!link.OpenDevice()) {
        state.SkipWithError("the socket unit was not found");
        return;
    }
    link.CommandBytes = {kConnectionCheck, 0, 0, 0, 0, 0, 0, 0};
    bool lost = false;
    for (auto _ : state) {
        link.Exchange();
        if (link.ReadBuffer[2] != kConnectionCheck) lost = true;
    }
    if (lost) state.SkipWithError("an exchange went unanswered");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(exchangeOverHidrawSocket)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
