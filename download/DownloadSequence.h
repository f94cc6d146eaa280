// The ROM download as a protocol sequence: erase, write and verify a file in the unit's
// flash over the device link. It knows nothing of windows; the caller hands it the way to
// show a status text, to let pending events run and to perform a settle wait.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "link/Conversation.h"

namespace kavo3::download {

class DataPhase;
class SourceFile;

struct DownloadCallbacks {
    // Replaces the whole status text.
    std::function<void(const std::string&)> status;
    // Before each data report: its offset, whose text is progressText(offset). Kept apart
    // from `status` so that a caller can show it at its own pace.
    std::function<void(std::uint32_t offset)> progress;
    // Lets pending window events run once.
    std::function<void()> processEvents;
    // The settle wait of n ticks.
    std::function<void(int ticks)> settleWait;
    // Asked before each erase, each data report and each checksum poll; true stops the run.
    // A stop inside the data phase sends its rest as erased bytes first; nothing is verified.
    std::function<bool()> stopRequested;
    // Once, when a stop turns the rest of the data phase into erased bytes: the data reports
    // still owed to the unit.
    std::function<void(std::uint32_t reportsOwed)> padding;
};

enum class Outcome {
    WriteOk,          // the unit's sum equals the file's
    SumMismatch,      // it does not
    EmptyFile,        // nothing was sent
    FileOpenFailed,   // nothing was sent, or the verify could not reopen the file
    FileReadFailed,   // the file ended early while it was written or summed
    FileChanged,      // the file's length changed between writing and verifying
    ChecksumTimeout,  // the unit never said its sum was ready
    Stopped,          // stopped on request; the flash holds `length` bytes of the file
    UnitGone,         // no unit, or it left (or came back) during the run: nothing more was
                      // sent to any unit
    WriteRefused,     // a report of the data phase was not taken; no file data followed it
    ChecksumNotTaken,  // the checksum request was not taken: the written data is not verified
};

struct DownloadResult {
    Outcome outcome = Outcome::FileOpenFailed;
    std::uint32_t length = 0;  // L, the bytes written and summed; when stopped, those written
    std::uint16_t romSum = 0;
    std::uint16_t fileSum = 0;
    // Every report of the run was taken, and every read answered, by the attachment it began
    // with.
    bool whole = false;
};

class DownloadSequence {
  public:
    // How long the unit may keep saying that its sum is not ready.
    static constexpr std::chrono::milliseconds kChecksumWait{10000};
    static constexpr int kSettleTicks = 2;

    DownloadSequence(link::DeviceLink& link, DownloadCallbacks callbacks,
                std::chrono::milliseconds checksumWait = kChecksumWait);

    // One whole run for `file` at flash address `startAddress` (low 24 bits on the wire).
    // The file is opened twice, to write and to verify, always by this path. Every report
    // goes to the attachment open when the run begins (found by a search if none is).
    DownloadResult run(std::uint32_t startAddress, const std::filesystem::path& file);
    // The same on the attachment a longer sequence began with.
    DownloadResult run(link::Conversation& talk, std::uint32_t startAddress,
                       const std::filesystem::path& file);
    // The same for a copy of the file that the caller read once and checked: written and
    // summed from that copy, so that a file changed meanwhile cannot slip in.
    DownloadResult run(link::Conversation& talk, std::uint32_t startAddress,
                       std::span<const std::uint8_t> copy);

  private:
    using Opener = std::function<std::unique_ptr<SourceFile>()>;
    DownloadResult runOn(link::Conversation& talk, std::uint32_t startAddress,
                         const Opener& open);
    // False when the unit left: the run ends there.
    bool erase(link::Conversation& talk, std::uint8_t command, std::uint32_t address);
    struct DataWritten {
        std::uint32_t fileBytes = 0;  // of the file; erased bytes went in place of the rest
        bool readOk = true;
        bool stopped = false;
        bool unitGone = false;
        bool refused = false;
    };
    DataWritten writeData(link::Conversation& talk, std::uint32_t startAddress, SourceFile& source,
                          std::uint32_t length);
    DownloadResult verify(link::Conversation& talk, std::uint32_t startAddress,
                          const Opener& open, std::uint32_t writtenLength);
    void show(const std::string& text) { callbacks_.status(text); }
    void settle() { callbacks_.settleWait(kSettleTicks); }
    bool stopRequested() const { return callbacks_.stopRequested && callbacks_.stopRequested(); }
    DownloadResult stopped(std::uint32_t written) const;
    DownloadResult fail(Outcome outcome, const std::string& reason, std::uint32_t length = 0);

    link::DeviceLink& link_;
    DownloadCallbacks callbacks_;
    std::chrono::milliseconds checksumWait_;
};

}  // namespace kavo3::download
