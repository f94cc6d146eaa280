#include "app/ProgramUnitChoice.h"

#include <cstdio>
#include <vector>

#include "link/ProgramName.h"

namespace kavo3::app {

ProgramUnitChoice::ProgramUnitChoice(link::Transport& all, std::optional<std::string> device,
                                     link::Trace* trace)
    : all_(all), trace_(trace) {
    if (device) chosen_.emplace(all_, std::move(*device));
}

std::string ProgramUnitChoice::noticeAfterCheck(const link::DeviceLink& link) {
    // A unit that is there but may not be opened is the link's to explain, with its remedy.
    if (!link.unitProblem().empty()) return {};
    if (chosen_) {
        if (link.DeviceFound()) return {};
        const std::string text = "No KAVO-3 at " + chosen_->id() +
                                 ". 'kavo3cli status --list' lists the units attached, by port "
                                 "path and node path.";
        tell(text, true);
        return text;
    }
    if (!link.DeviceFound()) return {};
    const std::vector<link::UnitEntry> units = link::listUnits(all_);
    if (units.size() < 2) return {};
    const std::size_t others = units.size() - 1;
    std::string name = all_.portPathOf(link.DevicePath());
    if (name.empty()) name = link.DevicePath();
    const std::string text =
        std::to_string(others) + (others == 1 ? " other KAVO-3 is" : " other KAVO-3 units are") +
        " attached; this program talks to the one at " + name +
        ". Start it with --device ID (a port path or node path, as 'kavo3cli status --list' "
        "shows them) to choose another.";
    tell(text, false);
    return text;
}

void ProgramUnitChoice::tell(const std::string& text, bool onStandardError) {
    if (trace_) trace_->note(text);
    // Every arrival runs the check again; the user needs to read it once.
    if (!onStandardError || text == toldOnStderr_) return;
    const std::string& program = link::programName();
    std::fprintf(stderr, "%s%s%s\n", program.c_str(), program.empty() ? "" : ": ", text.c_str());
    toldOnStderr_ = text;
}

}  // namespace kavo3::app
