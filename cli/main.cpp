// kavo3cli: the tool's sequences from a terminal, for scripts, test rigs and production lines.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/DownloadArea.h"
#include "cli/ExitCodes.h"
#include "cli/Numbers.h"
#include "download/ErasePlan.h"
#include "link/ProgramName.h"
#include "link/StopSignals.h"
#include "link/TickPeriod.h"
#include "sim/SimSwitchesHelp.h"
#include "sim/UnitView.h"
#include "timing/TimingParameters.h"
#include "version/ProgramVersion.h"

namespace {

using namespace kavo3::cli;

constexpr const char* kCommonOptions =
    "Every subcommand also takes --sim[=SWITCHES], --trace FILE and --tick-ms N (see kavo3cli\n"
    "--help).\n";

// A 24-bit flash address, decimal or 0x hexadecimal.
std::string checkAddress(const std::string& text) {
    const auto value = parseNumber(text);
    if (!value || *value > 0xFFFFFF) return "not a flash address from 0 to 0xFFFFFF: " + text;
    return {};
}

// The fourteen names `timing set` takes, with their ranges, as `timing show` prints them.
std::string timingNamesHelp() {
    std::string text = "Parameters (NAME=VALUE, decimal or 0x hexadecimal):\n";
    int column = 0;
    for (const auto& p : kavo3::timing::kTimingParameters) {
        char item[40];
        std::snprintf(item, sizeof item, "  %-12s 0..%-6d", p.name, p.maximum);
        text += item;
        if (++column % 3 == 0) text += '\n';
    }
    if (column % 3 != 0) text += '\n';
    return text;
}

// What the simulated unit saw that no run may do; the tests of kavo3cli fail on it.
int withSimulatedUnitsView(bool simulated, int exitCode) {
    if (!simulated) return exitCode;
    const std::vector<std::string> seen = kavo3::sim::takeViolations();
    if (seen.empty()) return exitCode;
    for (const std::string& line : seen) std::fprintf(stderr, "kavo3cli: %s\n", line.c_str());
    return kExitSimulatedUnitSaw;
}

std::string hexAddress(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", address);
    return text;
}

// Where a download goes, as the download core decides it.
std::string downloadAddressRule() {
    using namespace kavo3::download;
    const unsigned large = kLargeBlockBytes / 1024, small = kSmallBlockBytes / 1024;
    char text[320];
    std::snprintf(text, sizeof text,
                  "Download address: %s unless --address; on a %u KiB boundary (%u KiB for a "
                  "file\nunder %u KiB), as the erases clear whole blocks; the area up to the "
                  "file's end\nrounded up to %u bytes inside the flash.\n\n",
                  hexAddress(kDownloadAddress).c_str(), large, small, large,
                  static_cast<unsigned>(kDataReportBytes));
    return text;
}

CLI::App* subcommand(CLI::App& app, const char* name, const char* description) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->fallthrough();
    sub->footer(kCommonOptions);
    return sub;
}

}  // namespace

int main(int argc, char** argv) {
    kavo3::link::setProgramName("kavo3cli");
    useUtf8Console();
    CLI::App app{"kavo3cli: the KAVO-3 tool from the command line", "kavo3cli"};
    app.footer(
        "Nothing is sent to the unit for a download area outside its flash (2 MiB unless\n"
        "--flash-size says more; exit 64), a download file over 1 MiB (unless --first-mib;\n"
        "exit 3), or an output named as a folder (exit 64) or whose folder is missing or takes\n"
        "no new file (exit 1).\n\n" +
        downloadAddressRule() +
        "Exit status: 0 success, 1 output or trace file not written, 2 no unit (not found, in\n"
        "use by another program, no answer, or gone, silent or plugged in again at any point\n"
        "of the run; no file is written), 3 input file refused, 4 checksum mismatch,\n"
        "5 checksum never ready, 6 frame rejected, 7 unit not in the capture setting (FPGA\n"
        "SELECT B2), 8 timing registers out of reach at the unit's block address, 64 bad\n"
        "usage, 70 (--sim only) the simulated unit saw a report where it does not belong,\n"
        "130/143/129 interrupted by Ctrl-C, SIGTERM or SIGHUP (a download first sends the\n"
        "rest of its data as 0xFF).\n"
        "One program at a time holds the unit; a second one is refused before it sends "
        "anything.\n\n" +
        timingNamesHelp() + "\n--sim switches, comma-separated:\n" + kavo3::sim::simSwitchesHelp());
    app.require_subcommand(1);
    app.set_version_flag("--version", kavo3::version::versionLine("kavo3cli"),
                         "Print the program, its version and the commit it was built from");

    UnitOptions unit;
    // A flag, so that "--sim FILE" never takes the file for switches; switches go after "=".
    CLI::Option* sim = app.add_flag("--sim", unit.simSwitches,
                                    "Talk to the built-in simulated unit instead of USB; "
                                    "SWITCHES as for KAVO3_SIM, e.g. --sim=size=1920x1080,usb")
                           ->option_text("[=SWITCHES]");
    app.add_option("--trace", unit.tracePath,
                   "Append one line per event of the device link to FILE (as KAVO3_TRACE)")
        ->type_name("FILE");
    app.add_option("--device", unit.devices,
                   "Which unit, by its port path (stays with the hub port) or node path, as "
                   "'status --list' names them; download takes it more than once")
        ->type_name("ID")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    std::string tickMs;
    CLI::Option* tickOption = app.add_option(kavo3::link::kTickOption, tickMs,
                   "Tick of the settle waits, 1 to 1000 ms (default 1, or KAVO3_TICK_MS); try 16 "
                   "for a unit that answers but fails erases or timing loads")
        ->type_name("N");

    bool listInterfaces = false;
    CLI::App* status = subcommand(app, "status", "Search for the unit and check that it answers");
    status->add_flag("--list", listInterfaces,
                     "Show every unit attached, by port path and node path, and every HID "
                     "interface examined and what was made of it");

    DownloadRequest downloadRequest;
    std::string address = hexAddress(kavo3::download::kDownloadAddress);
    std::string flashSize = "0x200000";
    CLI::App* download = subcommand(
        app, "download", "Write FILE into the unit's flash ROM and verify it by checksum");
    download->add_option("FILE", downloadRequest.file, "The file to write, at most 1 MiB")
        ->required()
        ->type_name("FILE");
    download
        ->add_option("--address", address,
                     "Flash address; the area up to the file's end must lie inside the flash")
        ->capture_default_str()
        ->check(CLI::Validator(checkAddress, "ADDR"));
    download
        ->add_option("--flash-size", flashSize,
                     "The unit's flash size, for a unit known to have more than 2 MiB")
        ->capture_default_str()
        ->check(CLI::Validator(checkFlashSize, "SIZE"));
    bool allUnits = false;
    bool json = false;
    download->add_flag("--all", allUnits,
                       "Every unit attached, in parallel; a summary table at the end");
    download->add_flag("--json", json,
                       "With --all or several --device: the summary as JSON on standard output");
    download->add_flag("--first-mib", downloadRequest.firstMib,
                       "Take a file over 1 MiB and write and verify only its first 1 MiB, as the "
                       "main window does (otherwise it is refused)");

    CLI::App* timing = subcommand(app, "timing", "The unit's video timing registers");
    timing->require_subcommand(1);
    CLI::App* timingShow = subcommand(*timing, "show", "Print the fourteen timing parameters");
    std::vector<std::string> assignments;
    CLI::App* timingSet = subcommand(*timing, "set", "Change parameters, e.g. h2pos=120 vsw=6");
    timingSet->add_option("NAME=VALUE", assignments, "Parameter names as 'timing show' prints them")
        ->required();
    std::string timingFile;
    CLI::App* timingSave =
        subcommand(*timing, "save", "Save the register image as a 257-byte timing data file");
    timingSave->add_option("FILE", timingFile, "The file to write, in a folder that exists")
        ->required()
        ->type_name("FILE");
    CLI::App* timingLoad =
        subcommand(*timing, "load", "Load a timing data file and write it to the unit");
    timingLoad->add_option("FILE", timingFile, "The file to read")->required()->type_name("FILE");

    std::string captureFile;
    bool leaveFrozen = false;
    CLI::App* capture = subcommand(
        app, "capture", "Freeze the picture, read one frame and save it as a 24-bit BMP");
    capture
        ->add_option("FILE", captureFile,
                     "Where to save, in a folder that exists; the extension becomes .bmp, as in "
                     "the capture window")
        ->required()
        ->type_name("FILE");
    capture->add_flag("--leave-frozen", leaveFrozen,
                      "Leave the picture frozen afterwards (default: live, as before a capture "
                      "from a freshly opened capture window)");

    std::string keyName;
    bool listKeyTable = false;
    CLI::App* key = subcommand(app, "key", "Press one key of the remote control");
    key->add_option("KEY", keyName, "Short name (video1, volume-up, ...), design name or code");
    key->add_flag("--list", listKeyTable, "Show every key: short name, code, design name, legend");

    std::string freezeState;
    CLI::App* freeze = subcommand(app, "freeze", "Freeze or release the unit's picture");
    freeze->add_option("STATE", freezeState, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));

    CLI::App* doctor = subcommand(
        app, "doctor", "Say why the unit is not found or does not work, and what to do about it");

    try {
        app.parse(argc, argv);
        if (*key && keyName.empty() && !listKeyTable) throw CLI::RequiredError("KEY (or --list)");
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitOk : kExitUsage;
    }
    // Given but empty ('--tick-ms ""') is a mistake, not the default.
    if (const std::string bad = kavo3::link::setTickPeriodFrom(
            tickMs.empty() && tickOption->count() == 0 ? nullptr : tickMs.c_str());
        !bad.empty()) {
        std::fprintf(stderr, "kavo3cli: %s\n", bad.c_str());
        return kExitUsage;
    }
    unit.simulated = sim->count() > 0;
    // A bare --sim leaves the flag's own value; no switch is called that.
    if (unit.simSwitches == "true") unit.simSwitches.clear();

    // Reading commands take the first unit where several are attached; the others must be told.
    unit.writes = !*status && !*timingShow && !*doctor;
    const auto run = [&]() -> int {
        if (*status) return runStatus(unit, listInterfaces);
        if (*doctor) return runDoctor(unit);
        if (*download) {
            downloadRequest.address = *parseNumber(address);
            downloadRequest.flashSize = *parseNumber(flashSize);
            if (allUnits || unit.devices.size() > 1)
                return runDownloadMany(unit, downloadRequest, allUnits, json);
            if (json) {
                std::fprintf(stderr, "kavo3cli: --json goes with --all or several --device\n");
                return kExitUsage;
            }
            return runDownload(unit, downloadRequest);
        }
        if (*timingShow) return runTimingShow(unit);
        if (*timingSet) return runTimingSet(unit, assignments);
        if (*timingSave) return runTimingSave(unit, timingFile);
        if (*timingLoad) return runTimingLoad(unit, timingFile);
        if (*capture) return runCapture(unit, captureFile, leaveFrozen);
        if (*key) return listKeyTable ? listKeys() : runKey(unit, keyName);
        if (*freeze) return runFreeze(unit, freezeState == "on");
        return kExitUsage;
    };
    // One stop path for every subcommand: Ctrl-C, SIGTERM, SIGHUP and a reader gone (SIGPIPE)
    // ask the run to stop between reports and settle its unit; only a second Ctrl-C ends at
    // once.
    const kavo3::link::StopSignals stop(
        "\nkavo3cli: ended at once by a second Ctrl-C. A unit in the middle of a download's data "
        "still expects it and takes every command as flash data; the next kavo3cli or kavo3tool "
        "that finds it sends the rest first (its state file says how much).\n");
    int exitCode = run();
    if (exitCode == kExitInterrupted && stop.stopRequested()) exitCode = stop.exitStatus();
    return withSimulatedUnitsView(unit.simulated, exitCode);
}
