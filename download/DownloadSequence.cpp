#include "download/DownloadSequence.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <span>
#include <system_error>

#include "download/DataPhase.h"
#include "download/ErasePlan.h"
#include "download/FileSum.h"
#include "download/StatusTexts.h"
#include "download/UnitChecksum.h"
#include "link/Protocol.h"

namespace kavo3::download {

// The download file, opened for raw reading, with its length known up front; or the copy of
// it that the caller read once, so that what was checked is what is written and summed.
class SourceFile {
  public:
    explicit SourceFile(const std::filesystem::path& path) {
        std::error_code error;
        // A directory or a device opens on some systems but has no length to download.
        if (!std::filesystem::is_regular_file(path, error)) return;
        stream_.open(path, std::ios::binary);
        if (!stream_) return;
        stream_.seekg(0, std::ios::end);
        const std::streamoff end = stream_.tellg();
        stream_.seekg(0, std::ios::beg);
        if (end < 0 || !stream_) return;
        size_ = static_cast<std::uint64_t>(end);
        open_ = true;
    }
    explicit SourceFile(std::span<const std::uint8_t> copy)
        : copy_(copy), inMemory_(true), size_(copy.size()), open_(true) {}

    bool isOpen() const { return open_; }
    std::uint64_t size() const { return size_; }

    // Fills `bytes` completely, or says that the file ended early or could not be read.
    bool read(std::span<std::uint8_t> bytes) {
        if (inMemory_) {
            if (bytes.size() > copy_.size() - position_) return false;
            std::copy_n(copy_.begin() + static_cast<std::ptrdiff_t>(position_), bytes.size(),
                        bytes.begin());
            position_ += bytes.size();
            return true;
        }
        stream_.read(reinterpret_cast<char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()));
        return stream_.gcount() == static_cast<std::streamsize>(bytes.size());
    }

    void close() { stream_.close(); }

  private:
    std::ifstream stream_;
    std::span<const std::uint8_t> copy_;
    std::size_t position_ = 0;
    bool inMemory_ = false;
    std::uint64_t size_ = 0;
    bool open_ = false;
};

namespace {

// Bytes past the end of the file are left as erased flash.
constexpr std::uint8_t kErasedByte = 0xFF;

// Why a run ended when its unit went: "Write error  unit gone".
constexpr const char* kUnitGoneReason = "unit gone";

}  // namespace

DownloadSequence::DownloadSequence(link::DeviceLink& link, DownloadCallbacks callbacks,
                         std::chrono::milliseconds checksumWait)
    : link_(link), callbacks_(std::move(callbacks)), checksumWait_(checksumWait) {}

DownloadResult DownloadSequence::fail(Outcome outcome, const std::string& reason, std::uint32_t length) {
    show(writeErrorText(reason));
    callbacks_.processEvents();
    DownloadResult result;
    result.outcome = outcome;
    result.length = length;
    return result;
}

DownloadResult DownloadSequence::stopped(std::uint32_t written) const {
    DownloadResult result;
    result.outcome = Outcome::Stopped;
    result.length = written;
    return result;
}

DownloadResult DownloadSequence::run(std::uint32_t startAddress, const std::filesystem::path& file) {
    link::Conversation talk(link_);
    return run(talk, startAddress, file);
}

DownloadResult DownloadSequence::run(link::Conversation& talk, std::uint32_t startAddress,
                                const std::filesystem::path& file) {
    DownloadResult result =
        runOn(talk, startAddress, [&file] { return std::make_unique<SourceFile>(file); });
    result.whole = talk.whole();
    return result;
}

DownloadResult DownloadSequence::run(link::Conversation& talk, std::uint32_t startAddress,
                                std::span<const std::uint8_t> copy) {
    DownloadResult result =
        runOn(talk, startAddress, [copy] { return std::make_unique<SourceFile>(copy); });
    result.whole = talk.whole();
    return result;
}

DownloadResult DownloadSequence::runOn(link::Conversation& talk, std::uint32_t startAddress,
                                  const Opener& open) {
    const std::unique_ptr<SourceFile> opened = open();
    SourceFile& source = *opened;
    if (!source.isOpen()) return fail(Outcome::FileOpenFailed, "file open");
    const std::uint32_t length = cappedLength(source.size());
    if (length == 0) return fail(Outcome::EmptyFile, "file size 0");
    if (!talk.live()) return fail(Outcome::UnitGone, kUnitGoneReason, length);

    const ErasePlan plan = erasePlan(paddedLength(length));
    std::uint32_t cursor = startAddress;
    for (std::uint32_t i = 0; i < plan.large; ++i) {
        if (stopRequested()) return stopped(0);
        if (!erase(talk, link::protocol::kErase32K, cursor))
            return fail(Outcome::UnitGone, kUnitGoneReason, length);
        show(kEraseText);
        cursor += kLargeBlockBytes;
    }
    for (std::uint32_t i = 0; i < plan.small; ++i) {
        if (stopRequested()) return stopped(0);
        if (!erase(talk, link::protocol::kErase4K, cursor))
            return fail(Outcome::UnitGone, kUnitGoneReason, length);
        cursor += kSmallBlockBytes;
    }
    if (stopRequested()) return stopped(0);

    const DataWritten written = writeData(talk, startAddress, source, length);
    if (written.stopped) return stopped(written.fileBytes);
    if (written.unitGone) return fail(Outcome::UnitGone, kUnitGoneReason, written.fileBytes);
    if (written.refused) return fail(Outcome::WriteRefused, "write refused", written.fileBytes);
    if (!written.readOk) return fail(Outcome::FileReadFailed, "file read", length);
    return verify(talk, startAddress, open, length);
}

bool DownloadSequence::erase(link::Conversation& talk, std::uint8_t command, std::uint32_t address) {
    talk.send(link::protocol::erase(command, address));
    settle();
    talk.read();  // paces the erase; its content says nothing
    settle();
    // A silent unit costs the wait and the run goes on; a unit that left ends it.
    return talk.live();
}

DownloadSequence::DataWritten DownloadSequence::writeData(link::Conversation& talk,
                                                std::uint32_t startAddress, SourceFile& source,
                                                std::uint32_t length) {
    const std::uint32_t padded = paddedLength(length);
    show(kDownloadText);
    callbacks_.processEvents();
    DataWritten written;
    {
        // From the write start on the unit takes every report as data, until the last one is
        // answered: no other window's command may come in between. However this block is
        // left, the phase sends what it still owes as erased bytes.
        DataPhase phase(talk, startAddress, padded, [this] { settle(); });
        std::array<std::uint8_t, 8> bytes{};
        written.refused = phase.refused();
        written.unitGone = phase.lost();
        for (std::uint32_t offset = 0; offset < padded && !written.refused && !written.unitGone;
             offset += kDataReportBytes) {
            callbacks_.progress(offset);
            callbacks_.processEvents();
            // Asked after the events: a window closed in them sends nothing more of the file.
            if (stopRequested()) {
                written.stopped = true;
                if (callbacks_.padding) callbacks_.padding(phase.reportsOwed());
                break;
            }
            bytes.fill(kErasedByte);
            // A file that fails part-way is still followed to the end, with erased bytes.
            if (written.readOk) {
                const std::uint32_t inFile = std::min(kDataReportBytes, length - offset);
                written.readOk = source.read(std::span(bytes.data(), inFile));
                if (written.readOk)
                    written.fileBytes += inFile;
                else
                    bytes.fill(kErasedByte);
            }
            phase.send(bytes);
            if (phase.lost()) {
                // Whatever the unit still owes is settled should it come back.
                written.unitGone = true;
                written.fileBytes =
                    std::min(written.fileBytes, phase.reportsSent() * kDataReportBytes);
                break;
            }
            if (phase.refused()) {
                // The unit did not count that report: file data after it would land one
                // report early. The rest of the count goes as erased bytes.
                written.refused = true;
                written.fileBytes =
                    std::min(written.fileBytes, phase.reportsSent() * kDataReportBytes);
            }
        }
        source.close();
        phase.finish();
        if (!written.refused) written.unitGone = written.unitGone || phase.lost() || !talk.live();
    }
    settle();
    if (!written.stopped && !written.unitGone && !written.refused) show(kDownloadEndText);
    return written;
}

DownloadResult DownloadSequence::verify(link::Conversation& talk, std::uint32_t startAddress,
                                   const Opener& open, std::uint32_t writtenLength) {
    const std::unique_ptr<SourceFile> opened = open();
    SourceFile& source = *opened;
    if (!source.isOpen()) return fail(Outcome::FileOpenFailed, "file open", writtenLength);
    const std::uint32_t length = cappedLength(source.size());
    // A sum over other bytes than those written would prove nothing about the flash.
    if (length != writtenLength) return fail(Outcome::FileChanged, "file changed", writtenLength);
    if (stopRequested()) return stopped(length);

    show(kChecksumStartText);
    callbacks_.processEvents();
    std::uint16_t fileSum = 0;
    std::array<std::uint8_t, 8> bytes{};
    for (std::uint32_t offset = 0; offset < length; offset += kDataReportBytes) {
        const std::span chunk(bytes.data(), std::min(kDataReportBytes, length - offset));
        if (!source.read(chunk)) return fail(Outcome::FileReadFailed, "file read", length);
        fileSum = addToSum(fileSum, chunk);
    }
    source.close();

    // Noted in the unit's ledger while it is asked; a request the unit did not take leaves the
    // ready flag and the sum of an earlier one, which must not pass for this file's.
    const UnitChecksum asked = askUnitChecksum(
        talk, startAddress, length,
        {callbacks_.settleWait, callbacks_.stopRequested, checksumWait_});
    switch (asked.answer) {
        case UnitChecksum::Answer::Ready:
            break;
        case UnitChecksum::Answer::NotTaken:
            return fail(Outcome::ChecksumNotTaken, "check sum request refused", length);
        case UnitChecksum::Answer::UnitGone:
            return fail(Outcome::UnitGone, kUnitGoneReason, length);
        case UnitChecksum::Answer::Stopped:
            return stopped(length);
        case UnitChecksum::Answer::NeverReady: {
            if (stopRequested()) return stopped(length);
            DownloadResult result = fail(Outcome::ChecksumTimeout, "check sum timeout", length);
            result.fileSum = fileSum;
            return result;
        }
    }
    const std::uint16_t romSum = asked.sum;

    show(verdictText(romSum, fileSum));
    callbacks_.processEvents();
    DownloadResult result;
    result.outcome = romSum == fileSum ? Outcome::WriteOk : Outcome::SumMismatch;
    result.length = length;
    result.romSum = romSum;
    result.fileSum = fileSum;
    return result;
}

}  // namespace kavo3::download
