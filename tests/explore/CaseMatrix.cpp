#include "CaseMatrix.h"

#include <chrono>
#include <cstdlib>
#include <system_error>

#include "Oracle.h"

namespace kavo3::explore {

namespace {

// The simulated unit answers at once or not at all, and a late answer comes only once the
// read has given up: the wait decides nothing, so it need not last. A silent unit then
// costs nothing, and no case depends on the machine's speed.
constexpr std::chrono::milliseconds kReadWait{0};

constexpr int kSmallFrameWidth = 128, kSmallFrameHeight = 101;

template <bool atOnce, bool samePath, bool restarts>
void unplug(std::vector<sim::SimOptions>& units, int unit, int index) {
    sim::SimOptions& o = units[static_cast<std::size_t>(unit)];
    o.unplugAfter = index - 1;
    // Back at once: at the first look after leaving. Otherwise the user plugs it in again
    // after the sequence.
    o.replugAfterMs = atOnce ? 0 : -1;
    o.replugSamePath = samePath;
    o.replugRestarts = restarts;
}

void silent(std::vector<sim::SimOptions>& units, int unit, int index) {
    auto& o = units[static_cast<std::size_t>(unit)];
    o.noAnswer = true;
    o.answeredBeforeSilence = index - 1;
}

template <int inARow>
void refused(std::vector<sim::SimOptions>& units, int unit, int index) {
    auto& o = units[static_cast<std::size_t>(unit)];
    o.refuseWrite = index;
    o.refusals = inARow;
}

void late(std::vector<sim::SimOptions>& units, int unit, int index) {
    auto& o = units[static_cast<std::size_t>(unit)];
    o.lateAnswers = true;
    o.answeredBeforeLate = index - 1;
}

void stall(std::vector<sim::SimOptions>& units, int unit, int index) {
    units[static_cast<std::size_t>(unit)].stallFrom = index;
}

void nothing(std::vector<sim::SimOptions>&, int, int) {}

long taken(sim::SimBench& bench) {
    long n = 0;
    for (int u = 0; u < bench.size(); ++u) n += bench.unit(u).reportsWritten();
    return n;
}

}  // namespace

std::vector<Fault> faults() {
    return {
        {"unplug, back after", unplug<false, false, false>, true, false},
        {"unplug, back after restarted", unplug<false, false, true>, true, false},
        {"unplug, back after at the same path", unplug<false, true, false>, true, false},
        {"unplug, back after restarted at the same path", unplug<false, true, true>, true, false},
        {"unplug, back at once", unplug<true, false, false>, true, false},
        {"unplug, back at once restarted", unplug<true, false, true>, true, false},
        {"unplug, back at once at the same path", unplug<true, true, false>, true, false},
        {"unplug, back at once restarted at the same path", unplug<true, true, true>, true, false},
        {"silent", silent, true, false},
        {"refused once", refused<1>, true, false},
        {"refused 4 in a row", refused<4>, true, false},
        {"late", late, true, false},
        {"stalled", stall, true, false},
        {"second unit present", nothing, false, true},
        {"second unit, first unplugged, back after", unplug<false, false, false>, true, true},
        {"second unit, first unplugged, back at once", unplug<true, false, false>, true, true},
        {"second unit, first unplugged, back after the next sequence", unplug<false, false, false>,
         true, true, true},
    };
}

CaseEnd runCase(const Case& c, const Files& files) {
    const Sequence& sequence = *c.sequence;
    std::vector<sim::SimOptions> options(
        static_cast<std::size_t>(sequence.units + (c.fault && c.fault->addsUnit ? 1 : 0)));
    // The smallest picture a capture takes: 101 lines of 128 pixels, six reports each.
    for (sim::SimOptions& o : options) {
        o.width = kSmallFrameWidth;
        o.height = kSmallFrameHeight;
    }
    if (c.fault) c.fault->apply(options, c.unit, c.unitIndex);
    sim::SimBench bench(options);

    // No state file: these units do not outlive the program.
    link::UnitLedger ledger{std::filesystem::path{}};
    Program program{bench, ledger, {}, {}, files, {}};
    if (sequence.linkPerUnit) {
        for (int u = 0; u < bench.size(); ++u)
            program.links.push_back(
                std::make_unique<link::DeviceLink>(bench.slot(u), kReadWait, nullptr, &ledger));
    } else {
        program.links.push_back(
            std::make_unique<link::DeviceLink>(bench, kReadWait, nullptr, &ledger));
    }
    program.downloads.resize(program.links.size());
    program.stopRequested = [&] { return c.stopAt != kToTheEnd && taken(bench) >= c.stopAt; };
    std::error_code ignored;
    std::filesystem::remove(files.timingSave, ignored);

    sequence.run(program);

    CaseEnd end;
    end.reports = taken(bench);
    for (int u = 0; u < bench.size(); ++u)
        end.reportsPerUnit.push_back(bench.unit(u).reportsWritten());

    // The fault is over: the user plugs in again what is away and replugs a unit whose
    // endpoint stalls; then the program goes on with its next sequence.
    program.stopRequested = [] { return false; };
    for (int u = 0; u < bench.size(); ++u) bench.unit(u).endFaults();
    if (c.fault && c.fault->backLate) followUp(program);
    for (int u = 0; u < bench.size(); ++u) {
        sim::SimTransport& unit = bench.unit(u);
        if (unit.stalls()) unit.unplug();
        if (unit.unplugged()) unit.plugBackIn(unit.options().replugSamePath);
    }
    followUp(program);

    end.found = oracle(sequence, program);
    return end;
}

std::vector<int> stopIndexes(const Case& toTheEnd, long reports) {
    std::vector<int> out;
    constexpr int kEdge = 3, kNear = 2, kEvery = 4;
    for (int k = 0; k <= reports; ++k) {
        const bool edge = k <= kEdge || k >= reports - kEdge;
        const bool nearFault = toTheEnd.fault && std::abs(k - toTheEnd.index) <= kNear;
        if (!toTheEnd.sequence->sampleStops || edge || nearFault || k % kEvery == 0)
            out.push_back(k);
    }
    return out;
}

}  // namespace kavo3::explore
