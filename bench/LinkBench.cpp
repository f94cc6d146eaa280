// Host cost of one exchange (one command report out, one input report back) through the
// device link: against the simulated unit answering at once, and through the hidraw backend
// with a socket pair in place of the node and a thread on the other end playing the unit.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "link/Conversation.h"
#include "link/Protocol.h"
#include "sim/SimTransport.h"

#ifdef KAVO3_BENCH_HIDRAW
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include <cstdlib>
#include <string>

#include "link/linux/testing/SocketHidraw.h"
#endif

namespace {

using namespace kavo3;
using namespace std::chrono_literals;

constexpr link::Command kConnectionCheck = link::protocol::plain(link::protocol::kConnectionCheck);

void exchangeWithSimulatedUnit(benchmark::State& state) {
    sim::SimTransport transport;
    link::DeviceLink link(transport, 20ms);
    if (!link.OpenDevice()) {
        state.SkipWithError("the simulated unit was not found");
        return;
    }
    link::Conversation talk(link);
    for (auto _ : state) {
        const link::Reply reply = talk.exchange(kConnectionCheck);
        benchmark::DoNotOptimize(reply.bytes.data());
    }
    if (transport.reportsRead() != static_cast<long>(state.iterations()))
        state.SkipWithError("an exchange went unanswered");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(exchangeWithSimulatedUnit);

#ifdef KAVO3_BENCH_HIDRAW

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

// The floor under the hidraw exchange: one report out and one back over the same socket pair
// and answering thread, by bare system calls. What the machine itself needs for the round trip
// (two thread wake-ups); the link's own cost is the difference.
void roundTripOverSocketPair(benchmark::State& state) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    const link::UniqueFd host(ends[0]);
    AnsweringPeer peer{link::UniqueFd(ends[1])};
    std::array<std::uint8_t, 65> report{};
    report[1] = link::protocol::kConnectionCheck;
    std::array<std::uint8_t, 64> answer{};
    for (auto _ : state) {
        if (::write(host.get(), report.data(), report.size()) != 65 ||
            ::read(host.get(), answer.data(), answer.size()) != 64) {
            state.SkipWithError("the peer did not answer");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
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
    link::Conversation talk(link);
    bool lost = false;
    for (auto _ : state) {
        if (talk.exchange(kConnectionCheck)[2] != link::protocol::kConnectionCheck) lost = true;
    }
    if (lost) state.SkipWithError("an exchange went unanswered");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(exchangeOverHidrawSocket)->UseRealTime();
BENCHMARK(roundTripOverSocketPair)->UseRealTime();

// Through the kernel: the system's hidraw nodes and a unit on a real bus (kavo3unitd on a USB
// gadget or uhid, as scripts/test-kernel.sh serves it). Only with KAVO3_BENCH_KERNEL_UNIT=1.
void exchangeThroughKernel(benchmark::State& state) {
    link::HidrawTransport transport;
    link::DeviceLink link(transport, 1000ms);
    if (!link.OpenDevice()) {
        state.SkipWithError("no unit on the system's hidraw nodes");
        return;
    }
    link::Conversation talk(link);
    bool lost = false;
    for (auto _ : state) {
        if (talk.exchange(kConnectionCheck)[1] != link::protocol::kConnectionCheck) lost = true;
    }
    if (lost) state.SkipWithError("an exchange went unanswered");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
const bool kernelBenchmark = [] {
    const char* wanted = std::getenv("KAVO3_BENCH_KERNEL_UNIT");
    if (wanted && std::string(wanted) == "1")
        benchmark::RegisterBenchmark("exchangeThroughKernel", exchangeThroughKernel)->UseRealTime();
    return true;
}();

#endif  // KAVO3_BENCH_HIDRAW

}  // namespace

BENCHMARK_MAIN();
