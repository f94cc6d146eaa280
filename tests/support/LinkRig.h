// A transport, the device link on it and, when asked, a wire trace and a recorder between the
// two: the set every test against a unit builds first. The simulated unit by default.
#pragma once

#include <chrono>
#include <concepts>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "link/DeviceLink.h"
#include "link/Trace.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimOptions.h"
#include "sim/SimTransport.h"

namespace kavo3::rigs {

// Short, so that a silent unit costs a test little.
inline constexpr std::chrono::milliseconds kShortWait{20};

struct LinkSetup {
    std::chrono::milliseconds readWait = kShortWait;
    // The link writes its trace there when given.
    std::string tracePath{};  // braced: a designated initializer may leave it out quietly
    link::UnitLedger* ledger = nullptr;
    // The link goes through `recorder`, which keeps every report written.
    bool recorded = false;
};

// The simulated unit with these switches; a wrong switch throws, which fails the test.
inline sim::SimOptions simWith(const std::string& switches) {
    std::string error;
    const auto options = sim::parseSimSwitches(switches, error);
    if (!options) throw std::invalid_argument(switches + ": " + error);
    return *options;
}

// `Wire` is the transport the rig owns, built from the argument given; a reference type
// (link::Transport&) takes one the test owns.
template <class Wire = sim::SimTransport>
class LinkRig {
  public:
    LinkRig() requires std::default_initializable<Wire> : LinkRig(LinkSetup{}) {}
    explicit LinkRig(LinkSetup setup) requires std::default_initializable<Wire>
        : trace(openTrace(setup)),
          recorder(transport),
          link(wired(setup), setup.readWait, trace.get(), setup.ledger) {}
    template <class A>
    explicit LinkRig(A&& wire, LinkSetup setup = {})
        : trace(openTrace(setup)),
          transport(std::forward<A>(wire)),
          recorder(transport),
          link(wired(setup), setup.readWait, trace.get(), setup.ledger) {}

    LinkRig(const LinkRig&) = delete;
    LinkRig& operator=(const LinkRig&) = delete;

    sim::SimulatedUnit& unit() requires std::same_as<std::remove_cvref_t<Wire>, sim::SimTransport>
    {
        return transport.unit();
    }

    // Before the link, so that it outlives it; a test may reset it to read the file.
    std::unique_ptr<link::Trace> trace;
    Wire transport;
    link::testing::RecordingTransport recorder;
    link::DeviceLink link;

  private:
    static std::unique_ptr<link::Trace> openTrace(const LinkSetup& setup) {
        return setup.tracePath.empty() ? nullptr : link::Trace::open(setup.tracePath);
    }
    link::Transport& wired(const LinkSetup& setup) {
        if (setup.recorded) return recorder;
        return transport;
    }
};

}  // namespace kavo3::rigs
