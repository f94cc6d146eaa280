// kavo3cli: the tool's sequences from a terminal, for scripts, test rigs and production lines.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "version/ProgramVersion.h"
#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/ExitCodes.h"
#include "cli/Numbers.h"
#include "link/ProgramName.h"

namespace {

using namespace kavo3::cli;

constexpr const char* kCommonOptions =
    "Every subcommand also takes --sim[=SWITCHES] and --trace FILE (see kavo3cli --help).\n";

// A 24-bit flash address, decimal or 0x hexadecimal.
std::string checkAddress(const std::string& text) {
    const auto value = parseNumber(text);
    if (!value || *value > 0xFFFFFF) return "not a flash address from 0 to 0xFFFFFF: " + text;
    return {};
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
        "Exit status: 0 success, 1 output or trace file not written, 2 no unit (not found, no\n"
        "answer, or gone during the run), 3 input file refused, 4 checksum mismatch, 5 checksum\n"
        "never ready, 6 frame rejected, 7 unit not in the capture setting (FPGA SELECT B2),\n"
        "64 bad usage, 130 interrupted.\n");
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

    bool listInterfaces = false;
    CLI::App* status = subcommand(app, "status", "Search for the unit and check that it answers");
    status->add_flag("--list", listInterfaces,
                     "Show every HID interface examined and what was made of it");

    std::string downloadFile;
    std::string address = "0x0E8000";
    CLI::App* download = subcommand(
        app, "download", "Write FILE into the unit's flash ROM and verify it by checksum");
    download->add_option("FILE", downloadFile, "The file to write (at most 1 MiB is written)")
        ->required()
        ->type_name("FILE");
    download->add_option("--address", address, "Flash address")
        ->capture_default_str()
        ->check(CLI::Validator(checkAddress, "ADDR"));

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
    timingSave->add_option("FILE", timingFile, "The file to write")->required()->type_name("FILE");
    CLI::App* timingLoad =
        subcommand(*timing, "load", "Load a timing data file and write it to the unit");
    timingLoad->add_option("FILE", timingFile, "The file to read")->required()->type_name("FILE");

    std::string captureFile;
    bool leaveFrozen = false;
    CLI::App* capture = subcommand(
        app, "capture", "Freeze the picture, read one frame and save it as a 24-bit BMP");
    capture
        ->add_option("FILE", captureFile,
                     "Where to save; the extension becomes .bmp, as in the capture window")
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

    try {
        app.parse(argc, argv);
        if (*key && keyName.empty() && !listKeyTable) throw CLI::RequiredError("KEY (or --list)");
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitOk : kExitUsage;
    }
    unit.simulated = sim->count() > 0;
    // A bare --sim leaves the flag's own value; no switch is called that.
    if (unit.simSwitches == "true") unit.simSwitches.clear();

    if (*status) return runStatus(unit, listInterfaces);
    if (*download) return runDownload(unit, downloadFile, *parseNumber(address));
    if (*timingShow) return runTimingShow(unit);
    if (*timingSet) return runTimingSet(unit, assignments);
    if (*timingSave) return runTimingSave(unit, timingFile);
    if (*timingLoad) return runTimingLoad(unit, timingFile);
    if (*capture) return runCapture(unit, captureFile, leaveFrozen);
    if (*key) return listKeyTable ? listKeys() : runKey(unit, keyName);
    if (*freeze) return runFreeze(unit, freezeState == "on");
    return kExitUsage;
}
