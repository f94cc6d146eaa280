// What a download's outcome means to whoever ran it: the word a summary gives it and the
// exit status it ends the program with. One table for every front end.
#pragma once

#include <array>
#include <span>

#include "download/DownloadSequence.h"
#include "operate/ExitCodes.h"

namespace kavo3::operate {

struct DownloadVerdict {
    download::Outcome outcome;
    const char* word;
    ExitCode exitCode;
};

// Every outcome once. A stop's 130 stands for Ctrl-C; the program replaces it by the status
// of the signal that came.
inline constexpr std::array<DownloadVerdict, 11> kDownloadVerdicts{{
    {download::Outcome::WriteOk, "Write OK", kExitOk},
    {download::Outcome::SumMismatch, "Write error", kExitChecksumMismatch},
    {download::Outcome::Stopped, "stopped, padded", kExitInterrupted},
    {download::Outcome::ChecksumTimeout, "checksum never ready", kExitChecksumNeverReady},
    {download::Outcome::UnitGone, "unit gone", kExitNoUnit},
    {download::Outcome::WriteRefused, "write refused", kExitNoUnit},
    {download::Outcome::ChecksumNotTaken, "checksum not taken", kExitNoUnit},
    {download::Outcome::EmptyFile, "file not read to the end", kExitRefusedFile},
    {download::Outcome::FileOpenFailed, "file not read to the end", kExitRefusedFile},
    {download::Outcome::FileReadFailed, "file not read to the end", kExitRefusedFile},
    {download::Outcome::FileChanged, "file not read to the end", kExitRefusedFile},
}};

const DownloadVerdict& verdictOf(download::Outcome outcome);

// A run whose unit could not be reached at all.
inline constexpr const char* kNoUnitWord = "no unit";

}  // namespace kavo3::operate
