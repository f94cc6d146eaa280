#include "Oracle.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "sim/FlashRom.h"
#include "sim/UnitView.h"

namespace kavo3::explore {

namespace {

// "simulated unit, attachment 2: command while the unit takes data [13 01 ...]" becomes
// "view: command while the unit takes data (13)": the attachment and the rest of the bytes
// differ from case to case, the complaint and the command code do not.
std::string viewFinding(const std::string& said) {
    std::string what = said;
    if (const auto colon = what.find(": "); colon != std::string::npos)
        what = what.substr(colon + 2);
    if (const auto open = what.find(" ["); open != std::string::npos)
        what = what.substr(0, open) + " (" + what.substr(open + 2, 2) + ")";
    return "view: " + what;
}

const std::vector<std::uint8_t>& untouchedFlash() {
    static const sim::FlashRom flash;
    return flash.bytes();
}

// The flash area a download erases and writes.
std::pair<std::size_t, std::size_t> downloadArea(const Files& files) {
    const std::size_t blocks =
        (files.downloadBytes.size() + sim::FlashRom::kSmallBlock - 1) / sim::FlashRom::kSmallBlock;
    return {kDownloadAddress, kDownloadAddress + blocks * sim::FlashRom::kSmallBlock};
}

bool flashChangedOutside(const std::vector<std::uint8_t>& flash, std::size_t from, std::size_t to) {
    const auto& before = untouchedFlash();
    return !std::equal(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(from),
                       before.begin()) ||
           !std::equal(flash.begin() + static_cast<std::ptrdiff_t>(to), flash.end(),
                       before.begin() + static_cast<std::ptrdiff_t>(to));
}

// Once every unit is back and the next sequence has run, the ledger owes nothing, or only what
// it wrote into the state file. No simulated unit here outlives the program, so none may be
// written down there: any debt left is one.
void ledgerClause(const Program& program, std::set<std::string>& found,
                  const std::set<std::string>& keptForLater) {
    for (const std::string& key : program.ledger.owingUnits())
        if (!keptForLater.contains(key)) found.insert("the ledger still holds a debt");
}

// The ledger's name of unit `u`, and whether a link of the program is on it now.
std::string keyOf(Program& program, int u) {
    sim::SimTransport& transport = program.bench.unit(u);
    const std::string serial = transport.serialOf(transport.unitPath());
    for (const std::string& key : program.ledger.owingUnits())
        if (key.ends_with(" " + serial)) return key;
    return {};
}

bool aLinkIsOn(const Program& program, const std::string& key) {
    for (const auto& link : program.links)
        if (link->DeviceFound() && link->unitKey() == key) return true;
    return false;
}

}  // namespace

std::vector<std::string> oracle(const Sequence& sequence, Program& program) {
    std::set<std::string> found;
    // A unit that came back while the link stayed on another one owes what its ledger says,
    // until a search finds it again: no other unit pays for it, and nothing reached it.
    std::set<std::string> keptForLater;
    for (const std::string& said : sim::takeViolations())
        if (!said.starts_with("...")) found.insert(viewFinding(said));  // not "... and N more"

    for (int u = 0; u < program.bench.size(); ++u) {
        const sim::SimTransport& transport = program.bench.unit(u);
        const sim::SimulatedUnit& unit = transport.unit();
        if (transport.unplugged()) {
            found.insert("unit away at the end");
            continue;
        }
        const std::string owing = keyOf(program, u);
        if (!owing.empty() && !aLinkIsOn(program, owing)) {
            keptForLater.insert(owing);
            continue;
        }
        // The freeze sequence is the user's own on and off: stopped between them, the unit
        // stays as the user last set it.
        const bool ownFreeze = std::string_view(sequence.name) == "freeze on/off";
        if (unit.frozen() && !ownFreeze) found.insert("unit left frozen");
        if (unit.timingAccessOpen()) found.insert("timing access left open");
        if (unit.flashWriteRunning()) found.insert("unit left expecting flash data");
        // A Write end carries bytes read on the attachment before: a unit back is a new one,
        // and its registers stay as written, uncommitted, rather than get bytes not read there.
        const bool cameBack = unit.view().attachments().size() > 1;
        if (unit.timingBlock() != unit.activeTimingBlock() && !cameBack)
            found.insert("Write end owed");

        // Only a taken write start lets reports into the flash, and only a download sends one.
        if (sequence.downloads) {
            const auto [from, to] = downloadArea(program.files);
            if (flashChangedOutside(unit.flash(), from, to))
                found.insert("flash changed outside the download area");
        }
    }

    // A verdict of Write OK means that the unit holds the file: the link's own unit, or for a
    // link over the whole bench, the one it found.
    const auto holdsFile = [&](int u) {
        const auto& flash = program.bench.unit(u).unit().flash();
        const auto& file = program.files.downloadBytes;
        return std::equal(file.begin(), file.end(),
                          flash.begin() + static_cast<std::ptrdiff_t>(kDownloadAddress));
    };
    for (std::size_t i = 0; i < program.downloads.size(); ++i) {
        const auto& result = program.downloads[i];
        if (!result || result->outcome != download::Outcome::WriteOk) continue;
        bool held = false;
        for (int u = 0; u < program.bench.size(); ++u)
            if (!sequence.linkPerUnit || u == static_cast<int>(i)) held = held || holdsFile(u);
        if (!held) found.insert("Write OK but the flash does not hold the file");
    }

    // A saved timing file holds the registers of the unit it was read from.
    std::ifstream saved(program.files.timingSave, std::ios::binary);
    if (saved) {
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(saved), {}};
        const auto& block = program.bench.unit(0).unit().timingBlock();
        if (bytes.size() < block.size() || !std::equal(block.begin(), block.end(), bytes.begin()))
            found.insert("saved timing file does not hold the unit's registers");
    }

    ledgerClause(program, found, keptForLater);
    return {found.begin(), found.end()};
}

}  // namespace kavo3::explore
