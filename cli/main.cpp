// kavo3cli: the tool's sequences from a terminal, for scripts, test rigs and production lines.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/ConsoleText.h"
#include "cli/DownloadLine.h"
#include "cli/ExitCodes.h"
#include "cli/Help.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/Subcommands.h"
#include "cli/Suggestions.h"
#include "link/ProgramName.h"
#include "link/StopSignals.h"
#include "link/TickPeriod.h"
#include "sim/SimSwitchesHelp.h"
#include "sim/UnitView.h"
#include "version/ProgramVersion.h"

namespace {

using namespace kavo3::cli;

std::string programFooter() {
    return "Nothing is sent to the unit for a download area outside its flash (2 MiB unless\n"
           "--flash-size says more; exit 64), a download file over 1 MiB (unless --first-mib;\n"
           "exit 3), or an output named as a folder (exit 64) or whose folder is missing or "
           "takes\n"
           "no new file (exit 1).\n\n" +
           downloadAddressRule() +
           "Exit status: 0 success, 1 output or trace file not written, 2 no unit (not found, "
           "in\n"
           "use by another program, no answer, or gone, silent or plugged in again at any "
           "point\n"
           "of the run; no file is written), 3 input file refused, 4 checksum mismatch "
           "(download,\n"
           "verify) or timing files that differ (timing diff),\n"
           "5 checksum never ready, 6 frame rejected, 7 unit not in the capture setting (FPGA\n"
           "SELECT B2), 8 timing registers out of reach at the unit's block address, 64 bad\n"
           "usage, 70 (--sim only) the simulated unit saw a report where it does not belong,\n"
           "130/143/129 interrupted by Ctrl-C, SIGTERM or SIGHUP (a download first sends the\n"
           "rest of its data as 0xFF).\n"
           "One program at a time holds the unit; a second one is refused before it sends "
           "anything.\n\n" +
           "--sim switches, comma-separated:\n" + kavo3::sim::simSwitchesHelp() +
           "\nSwitches for the tests of the tool itself, not for trying it:\n" +
           kavo3::sim::simTestSwitchesHelp();
}

// The options every subcommand takes, given before or after it.
struct CommonOptions {
    UnitOptions unit;
    OutputMode outputs;
    std::string tickMs;
    CLI::Option* sim = nullptr;
    CLI::Option* tick = nullptr;
};

void addCommonOptions(CLI::App& app, CommonOptions& common) {
    UnitOptions& unit = common.unit;
    // A flag, so that "--sim FILE" never takes the file for switches; switches go after "=".
    common.sim = app.add_flag("--sim", unit.simSwitches,
                              "Talk to the built-in simulated unit instead of USB; "
                              "SWITCHES as for KAVO3_SIM, e.g. --sim=size=1920x1080,usb")
                     ->option_text("[=SWITCHES]");
    app.add_option("--trace", unit.tracePath,
                   "Append one line per event of the device link to FILE (as KAVO3_TRACE)")
        ->type_name("FILE");
    app.add_option("--device", unit.devices,
                   "Which unit, by its port path (stays with the hub port) or node path, as "
                   "'list' names them; download and verify take it more than once")
        ->type_name("ID")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    common.tick = app.add_option(kavo3::link::kTickOption, common.tickMs,
                                 "Tick of the settle waits, 1 to 1000 ms (default 1, or "
                                 "KAVO3_TICK_MS); try 16 for a unit that answers but fails "
                                 "erases or timing loads")
                      ->type_name("N");
    app.add_flag("--json", common.outputs.json,
                 "Results as one JSON document on standard output (docs/kavo3cli.md has its "
                 "schema)");
    app.add_flag("--quiet,-q", common.outputs.quiet,
                 "No progress and no notes on standard error; results and failures only");
}

// After the parse: the output mode, the tick and the unit; 0, or the exit status of a mistake.
int takeCommonOptions(CommonOptions& common) {
    setOutputMode(common.outputs);
    // Given but empty ('--tick-ms ""') is a mistake, not the default.
    if (const std::string bad = kavo3::link::setTickPeriodFrom(
            common.tickMs.empty() && common.tick->count() == 0 ? nullptr : common.tickMs.c_str());
        !bad.empty()) {
        std::fprintf(stderr, "kavo3cli: %s\n", bad.c_str());
        return kExitUsage;
    }
    common.unit.simulated = common.sim->count() > 0;
    // A bare --sim leaves the flag's own value; no switch is called that.
    if (common.unit.simSwitches == "true") common.unit.simSwitches.clear();
    return kExitOk;
}

// What the simulated unit saw that no run may do; the tests of kavo3cli fail on it.
int withSimulatedUnitsView(bool simulated, int exitCode) {
    if (!simulated) return exitCode;
    const std::vector<std::string> seen = kavo3::sim::takeViolations();
    if (seen.empty()) return exitCode;
    for (const std::string& line : seen) std::fprintf(stderr, "kavo3cli: %s\n", line.c_str());
    return kExitSimulatedUnitSaw;
}

// One stop path for every subcommand: Ctrl-C, SIGTERM, SIGHUP and a reader gone (SIGPIPE) ask
// the run to stop between reports and settle its unit; only a second Ctrl-C ends at once.
int runStoppable(const Subcommand* command, const UnitOptions& unit) {
    const kavo3::link::StopSignals stop(
        "\nkavo3cli: ended at once by a second Ctrl-C. A unit in the middle of a download's data "
        "still expects it and takes every command as flash data; the next kavo3cli or kavo3tool "
        "that finds it sends the rest first (its state file says how much).\n");
    const int exitCode = command ? command->run(unit) : kExitUsage;
    return exitCode == kExitInterrupted && stop.stopRequested() ? stop.exitStatus() : exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    kavo3::link::setProgramName("kavo3cli");
    useUtf8Console();
    CLI::App app{"kavo3cli: the KAVO-3 tool from the command line", "kavo3cli"};
    // Before any subcommand: each takes the layout its parent has when it is made.
    useReadableHelp(app);
    app.footer(programFooter());
    app.require_subcommand(1);
    app.set_version_flag("--version", kavo3::version::versionLine("kavo3cli"),
                         "Print the program, its version and the commit it was built from");
    CommonOptions common;
    addCommonOptions(app, common);

    Subcommands commands;
    for (const auto add : {addListCommand, addStatusCommand, addDownloadCommand, addVerifyCommand,
                           addTimingCommands, addCaptureCommand, addKeyCommand, addFreezeCommand,
                           addDoctorCommand})
        add(app, commands);
    std::vector<std::string> helpTopic;
    CLI::App* help = app.add_subcommand("help", "Help for kavo3cli, or for one subcommand");
    help->add_option("SUBCOMMAND", helpTopic, "e.g. download, or timing set");

    const Subcommand* command = nullptr;
    try {
        app.parse(argc, argv);
        command = commands.given();
        if (command && command->checkParsed) command->checkParsed();
    } catch (const CLI::ParseError& error) {
        if (const std::string meant = didYouMean(app, argc, argv); !meant.empty()) {
            std::fprintf(stderr, "%s\n", meant.c_str());
            return kExitUsage;
        }
        const int code = app.exit(error);
        return code == 0 ? kExitOk : kExitUsage;
    }
    if (*help) return printHelp(app, helpTopic);
    if (const int bad = takeCommonOptions(common); bad != kExitOk) return bad;
    common.unit.writes = !command || command->writes;

    beginReport(commandPath(app));
    int exitCode = runStoppable(command, common.unit);
    exitCode = withSimulatedUnitsView(common.unit.simulated, exitCode);
    printReport(exitCode);
    return exitCode;
}
