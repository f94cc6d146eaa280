// Which unit a window program talks to: the one --device names, or else the first one the
// search finds. After each connection check it says what the user should know of that choice:
// a named unit that is not there, or other units that --device could choose.
#pragma once

#include <optional>
#include <string>

#include "link/DeviceLink.h"
#include "link/Trace.h"
#include "link/Transport.h"
#include "link/UnitChoice.h"

namespace kavo3::app {

class ProgramUnitChoice {
  public:
    ProgramUnitChoice(link::Transport& all, std::optional<std::string> device,
                      link::Trace* trace = nullptr);

    // What the program's link is to search: only the named unit, or every interface.
    link::Transport& transport() { return chosen_ ? *chosen_ : all_; }

    // After a connection check on `link`: the notice for the main window's tool tip, empty for
    // none. It also goes to the trace; a named unit that is missing also to standard error.
    std::string noticeAfterCheck(const link::DeviceLink& link);

  private:
    void tell(const std::string& text, bool onStandardError);

    link::Transport& all_;
    std::optional<link::ChosenUnit> chosen_;
    link::Trace* trace_;
    std::string toldOnStderr_;  // the notice last told on standard error
};

}  // namespace kavo3::app
