// kavo3cli capture and freeze: the capture window's sequences.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "capture/BitmapFile.h"
#include "capture/CaptureSequence.h"
#include "capture/CaptureTexts.h"
#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/ConsoleText.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "cli/OutputFile.h"
#include "cli/PngFile.h"
#include "cli/Progress.h"
#include "cli/Subcommands.h"
#include "link/StopSignals.h"

namespace kavo3::cli {


int runFreeze(const UnitOptions& unitOptions, bool on) {
    int exitCode = kExitOk;
    auto unit = openUnit(unitOptions, exitCode);
    if (!unit) return exitCode;
    capture::sendFreeze(unit->talk(), on ? 1 : 0);
    if (!stayedConnected(*unit)) return kExitNoUnit;
    result("%s\n", on ? "picture frozen" : "picture live");
    report()["frozen"] = on;
    return kExitOk;
}

int runCapture(const UnitOptions& unitOptions, const std::string& file, bool leaveFrozen) {
    // A name ending in .png gets a PNG; any other the BMP, named as the window's save names
    // it (the extension replaced by, or added as, ".bmp"), and the user is told of a change.
    const bool png = wantsPng(file);
    const std::string finalName = png ? file : capture::finalBitmapPath(file);
    if (finalName != file)
        note("kavo3cli: writing a BMP as %s; name the file .png for a PNG\n", finalName.c_str());
    // Found out now, not after the unit was frozen and its whole frame read.
    int exitCode = checkOutputFile(file, finalName, "frame.bmp");
    if (exitCode != kExitOk) return exitCode;

    auto unit = openUnit(unitOptions, exitCode);
    if (!unit) return exitCode;
    link::Conversation& talk = unit->talk();

    if (!capture::unitInCaptureSetting(talk)) {
        // No answer says nothing of the setting: the unit is gone or silent.
        if (!stayedConnected(*unit)) return kExitNoUnit;
        std::fprintf(stderr,
                     "kavo3cli: the unit is not in the capture setting. Set its FPGA SELECT to "
                     "B2, then restart the unit.\n");
        return kExitNotCaptureSetting;
    }

    capture::Frame frame;
    std::unique_ptr<Progress> progress;
    capture::CaptureCallbacks callbacks;
    callbacks.frameInformation = [&](const capture::FrameSizes& sizes) {
        result("%s\n", sizes.accepted() ? capture::sizeText(sizes).c_str() : capture::kRejectedText);
        report()["width"] = sizes.ActiveWidth;
        report()["height"] = sizes.FrameHeight;
        if (sizes.accepted())
            progress = std::make_unique<Progress>(
                "capture", static_cast<std::uint64_t>(sizes.FrameHeight), Progress::Unit::Lines);
    };
    callbacks.lines.lineDone = [&](std::int32_t y) {
        progress->update(static_cast<std::uint64_t>(y) + 1);
        return true;
    };
    // Ctrl-C, SIGTERM, SIGHUP or a reader gone (| head) stops between reports, and the unit
    // still gets its freeze state back.
    callbacks.lines.stopRequested = [] { return link::stopRequested(); };
    callbacks.lines.stopNow = [] { return link::stopRequested(); };

    const capture::CaptureResult result =
        capture::captureFrame(talk, leaveFrozen ? 1 : 0, frame, callbacks);
    if (progress) progress->finish();
    if (!stayedConnected(*unit)) return kExitNoUnit;
    if (result.end == capture::LinesEnd::Silent) return kExitNoUnit;

    if (!result.accepted) {
        const capture::FrameSizes& s = result.sizes;
        if (!s.inputPresent)
            std::fprintf(stderr, "kavo3cli: the unit has no usable input picture.\n");
        else
            std::fprintf(stderr,
                         "kavo3cli: the unit reports a frame of %d x %d pixels, outside the "
                         "range that can be captured (%d lines of %d pixels sent: 128 to 1984 "
                         "pixels, 101 to 1299 lines).\n",
                         s.ActiveWidth, s.FrameHeight, s.FrameHeight, s.LineStride);
        return kExitRejectedFrame;
    }
    if (result.end == capture::LinesEnd::Stopped) {
        std::fprintf(stderr, "kavo3cli: capture stopped; nothing written.\n");
        return kExitInterrupted;
    }

    const bool written = png ? writePngFile(argumentPath(finalName), frame)
                             : capture::WriteBitmapFile(argumentPath(finalName), frame);
    if (!written) {
        std::fprintf(stderr,
                     "kavo3cli: cannot write %s; nothing was written. Check that the folder "
                     "exists and can be written to.\n",
                     finalName.c_str());
        return kExitFailure;
    }
    cli::result("wrote %s\n", finalName.c_str());
    report()["file"] = finalName;
    report()["format"] = png ? "png" : "bmp";
    return kExitOk;
}

void addCaptureCommand(CLI::App& app, Subcommands& commands) {
    struct Line {
        std::string file;
        bool leaveFrozen = false;
    };
    auto line = std::make_shared<Line>();
    CLI::App* capture = Subcommands::add(
        app, "capture", "Freeze the picture, read one frame and save it as a 24-bit BMP or a PNG");
    capture
        ->add_option("FILE", line->file,
                     "Where to save, in a folder that exists: a name ending in .png gets a PNG; "
                     "any other a BMP, its extension made .bmp as in the capture window")
        ->required();
    capture->add_flag("--leave-frozen", line->leaveFrozen,
                      "Leave the picture frozen afterwards (default: live, as before a capture "
                      "from a freshly opened capture window)");
    commands.runs(capture, [line](const UnitOptions& unit) {
        return runCapture(unit, line->file, line->leaveFrozen);
    });
}

void addFreezeCommand(CLI::App& app, Subcommands& commands) {
    auto state = std::make_shared<std::string>();
    CLI::App* freeze = Subcommands::add(app, "freeze", "Freeze or release the unit's picture");
    freeze->add_option("STATE", *state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    commands.runs(freeze, [state](const UnitOptions& unit) { return runFreeze(unit, *state == "on"); });
}

}  // namespace kavo3::cli
