// The link rig and what every window shares with it: the settle clock and the session.
#pragma once

#include "LinkRig.h"
#include "ui/ProgramState.h"
#include "ui/SettleClock.h"

namespace kavo3::rigs {

template <class Wire = sim::SimTransport>
class WindowRig : public LinkRig<Wire> {
  public:
    using LinkRig<Wire>::LinkRig;

    ui::SettleClock clock;
    // How often the session ended the program; a test may put its own end in.
    int ended = 0;
    ui::ProgramState session{this->link, clock, {}, [this] { ++ended; }};
};

}  // namespace kavo3::rigs
