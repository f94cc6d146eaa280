// kavo3unitd: one simulated unit served on a real bus, so that the programs reach it through
// the kernel's HID stack: on a USB HID gadget's node (/dev/hidgN) or on /dev/uhid. Ends on
// SIGINT, SIGTERM or SIGHUP with what the unit received and what its view found; SIGUSR1
// prints the same and goes on; SIGUSR2 pulls the unit out or plugs it back in, as a cable.
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "link/linux/UniqueFd.h"
#include "sim/SimSwitchesHelp.h"
#include "unitd/BusEnd.h"
#include "unitd/BusSwitches.h"

namespace {

using namespace kavo3;
using namespace kavo3::unitd;

constexpr int kExitViewFaults = 70;

int millisecondsUntil(std::optional<Clock::time_point> due) {
    if (!due) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

void printSummary(const UnitServer& server, std::FILE* record) {
    std::fputs(server.summary().c_str(), stdout);
    std::fflush(stdout);
    if (record) std::fflush(record);
}

bool writeFlash(const UnitServer& server, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto& bytes = server.unit().flash();
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Serves until a signal that ends it; false when the bus end failed.
bool serve(BusEnd& bus, UnitServer& server, int signals, std::FILE* record) {
    for (;;) {
        const bool answerWaits = server.nextAnswer() != nullptr;
        pollfd p[2] = {{bus.fd(), 0, 0}, {signals, POLLIN, 0}};
        if (server.readyForReport() || !bus.sendsWait()) p[0].events |= POLLIN;
        if (answerWaits && bus.sendsWait()) p[0].events |= POLLOUT;
        std::optional<Clock::time_point> due = server.lateAnswersDue();
        if (const auto replug = server.replugDue(); replug && (!due || *replug < *due)) due = replug;
        const int ready = ::poll(p, 2, millisecondsUntil(due));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return false;

        if (p[1].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signals, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGUSR1) {
                    printSummary(server, record);
                } else if (info.ssi_signo == SIGUSR2) {
                    if (!(server.present() ? bus.unplug() : bus.plugIn())) return false;
                    if (server.present())
                        server.unplugged();
                    else
                        server.pluggedBackIn();
                    std::fprintf(stderr, "kavo3unitd: %s\n",
                                 server.present() ? "plugged back in" : "unplugged");
                } else {
                    return true;
                }
            }
        }
        if (const auto due = server.lateAnswersDue(); due && Clock::now() >= *due)
            server.lateAnswersArrive();
        if (const auto due = server.replugDue(); due && Clock::now() >= *due) {
            if (!bus.plugIn()) return false;
            server.pluggedBackIn();
            std::fprintf(stderr, "kavo3unitd: plugged back in\n");
        }
        if (p[0].revents & POLLIN) {
            if (!bus.receive(server)) return false;
            if (server.unplugDue()) {
                if (!bus.unplug()) return false;
                server.unplugged();
                std::fprintf(stderr, "kavo3unitd: unplugged\n");
                continue;
            }
        } else if (p[0].revents & (POLLERR | POLLHUP)) {
            bus.receive(server);
            return false;
        }
        // What the unit answered goes out while the bus takes it.
        while (const sim::Answer* answer = server.nextAnswer()) {
            const BusEnd::Sent sent = bus.send(*answer);
            if (sent == BusEnd::Sent::NotNow) break;
            if (sent == BusEnd::Sent::Lost) {
                std::fprintf(stderr, "kavo3unitd: an answer was lost: %s\n", bus.failure().c_str());
                server.dropAnswers();
                break;
            }
            server.answerSent();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kavo3unitd: one simulated KAVO-3 on a USB HID gadget or on /dev/uhid",
                 "kavo3unitd"};
    std::string gadget, gadgetDir, uhid, switches, recordPath, flashPath, phys = "kavo3unitd/uhid";
    auto* g = app.add_option("--gadget", gadget,
                             "Serve on the HID function node of a bound USB gadget")
                  ->type_name("/dev/hidgN");
    auto* u = app.add_option("--uhid", uhid, "Make a HID device on /dev/uhid (needs root)")
                  ->type_name("NODE")
                  ->expected(0, 1)
                  ->default_str("/dev/uhid");
    g->excludes(u);
    app.add_option("--gadget-dir", gadgetDir,
                   "The gadget's configfs folder, for unplug=N: it is unbound from its controller")
        ->type_name("DIR")
        ->needs(g);
    app.add_option("--sim", switches, "The simulated unit's switches, as kavo3cli --sim=")
        ->type_name("SWITCHES")
        ->expected(0, 1);
    app.add_option("--record", recordPath,
                   "Append every report that crosses the bus, as KAVO3_TRACE writes them")
        ->type_name("FILE");
    app.add_option("--flash-out", flashPath, "At the end, write the unit's flash ROM image")
        ->type_name("FILE");
    app.add_option("--phys", phys, "With --uhid: the device's port path (HID_PHYS)");
    app.footer(std::string("Switches:\n") + sim::simSwitchesHelp() +
               "unplug, replug and restart act on the bus (a gadget is unbound from its "
               "controller, a uhid device destroyed); switches of the link's pace and of other "
               "programs and devices (usb, delay, busy, refuse, extra, units, ...) belong to "
               "the bus and are refused.\n"
               "Exit status: 0, 1 bus or file failure, 64 bad usage, 70 the unit's view found "
               "a report where it does not belong.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 64;
    }
    if (gadget.empty() && u->count() == 0) {
        std::fprintf(stderr, "kavo3unitd: --gadget or --uhid is required\n");
        return 64;
    }
    if (uhid.empty()) uhid = "/dev/uhid";

    std::string error;
    const std::optional<sim::SimOptions> options = sim::parseSimSwitches(switches, error);
    if (!options) {
        std::fprintf(stderr, "kavo3unitd: --sim: %s\n", error.c_str());
        return 64;
    }
    if (const std::string refused = switchesTheBusDecides(*options); !refused.empty()) {
        std::fprintf(stderr, "kavo3unitd: --sim: the bus decides %s\n", refused.c_str());
        return 64;
    }

    if (options->unplugAfter >= 0 && !gadget.empty() && gadgetDir.empty()) {
        std::fprintf(stderr, "kavo3unitd: --sim=unplug=N on a gadget needs --gadget-dir\n");
        return 64;
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> record(nullptr, &std::fclose);
    if (!recordPath.empty()) {
        record.reset(std::fopen(recordPath.c_str(), "a"));
        if (!record) {
            std::perror(recordPath.c_str());
            return 1;
        }
        // Written in blocks, so that the record never slows the bus; flushed with each summary.
        std::setvbuf(record.get(), nullptr, _IOFBF, 1 << 16);
    }

    // Signals are read from a descriptor, between reports.
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    link::UniqueFd signals(::signalfd(-1, &set, SFD_CLOEXEC));

    UnitServer server(*options, record.get());
    std::unique_ptr<BusEnd> bus =
        gadget.empty()
            ? createUhidDevice(uhid, options->vendorId, options->productId, phys, error)
            : openGadget(gadget, gadgetDir, error);
    if (!bus) {
        std::fprintf(stderr, "kavo3unitd: %s\n", error.c_str());
        return 1;
    }
    // unplug=0: not present at start.
    if (options->unplugAfter == 0) {
        if (!bus->unplug()) {
            std::fprintf(stderr, "kavo3unitd: %s\n", bus->failure().c_str());
            return 1;
        }
        server.unplugged();
    }
    // uhid keeps at most 32 events for this end and drops what comes while they are full,
    // silently: a writer in a loop (a download's data reports) must never get ahead of the
    // unit. Run before any writer whenever a report is there for the unit.
    if (gadget.empty()) {
        sched_param priority{};
        priority.sched_priority = 10;
        if (::sched_setscheduler(0, SCHED_FIFO, &priority) != 0)
            std::fprintf(stderr,
                         "kavo3unitd: no real-time priority (%s): a download can lose data "
                         "reports in uhid's queue\n",
                         std::strerror(errno));
    }
    std::fprintf(stderr, "kavo3unitd: serving on %s\n", gadget.empty() ? uhid.c_str() : gadget.c_str());

    const bool ended = serve(*bus, server, signals.get(), record.get());
    if (!ended) std::fprintf(stderr, "kavo3unitd: the bus failed: %s\n", bus->failure().c_str());
    bus.reset();
    printSummary(server, record.get());
    if (!flashPath.empty() && !writeFlash(server, flashPath)) {
        std::perror(flashPath.c_str());
        return 1;
    }
    if (!ended) return 1;
    return server.viewFoundFaults() ? kExitViewFaults : 0;
}
