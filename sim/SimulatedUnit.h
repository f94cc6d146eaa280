// The KAVO-3 as a state machine: it takes output reports (ID byte first) one at a time and
// queues the input reports it answers with. What arrives over which handle, and when, is the
// transport's business (SimTransport). Not thread-safe: one thread drives it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/FlashRom.h"
#include "sim/SimOptions.h"
#include "sim/TestPicture.h"
#include "sim/TimingBlock.h"
#include "sim/UnitView.h"

namespace kavo3::sim {

// The 64 response bytes of one input report (the ID byte, always 0, is not stored).
using Answer = std::array<std::uint8_t, 64>;

class SimulatedUnit {
  public:
    explicit SimulatedUnit(const SimOptions& options = {});

    const SimOptions& options() const { return options_; }
    // Switches the faults of a running unit (no, zero and late answers, flash corruption,
    // checksum polls) to those of `faults`; picture, identity and timing base stay.
    void changeFaults(const SimOptions& faults);

    // Starts again as after power-up: whatever it was in the middle of (a flash write, a
    // checksum, timing access, a freeze, answers not yet read) is forgotten; flash and timing
    // registers keep what they hold.
    void restart();

    // One output report as written: report ID, then the eight command bytes (or raw data
    // while a flash write runs), then padding. A report too short or with another ID is
    // ignored; returns whether it was taken. `meant` is what the host says it meant the
    // report as, from attachment `attachment`; the unit's view checks it.
    bool receive(std::span<const std::uint8_t> outputReport,
                 link::Meant meant = link::Meant::Command, int attachment = 1);

    // What it is in the middle of (a flash write and its count, a freeze, timing access, a
    // checksum), as text, and the same taken back: a unit that outlives its program.
    std::string keptState() const;
    void restoreKept(const std::string& text);
    void restoreFlash(const std::vector<std::uint8_t>& bytes);

    // Answers ready to be read, oldest first.
    bool hasAnswer() const { return head_ < ready_.size(); }
    std::size_t answersWaiting() const { return ready_.size() - head_; }
    const Answer& nextAnswer() const { return ready_[head_].bytes; }
    // The host read the next answer on `attachment`.
    void popAnswer(int attachment = 1);

    // What the unit saw of every attachment, and what it found wrong.
    const UnitView& view() const { return view_; }
    // Drops every answer that is ready (a host draining its input).
    void discardAnswers();
    // With late answers: the answers still under way become ready now.
    void lateAnswersArrive();
    std::size_t answersUnderWay() const { return late_.size(); }

    // Flash ROM.
    const std::vector<std::uint8_t>& flash() const { return flash_.bytes(); }
    const FlashRom& flashRom() const { return flash_; }
    bool flashWriteRunning() const { return dataReportsLeft_ > 0; }

    // Timing registers: the unit address of block byte 0, the block as stored and as made
    // active by the latest Write end, and one register by unit address (0 outside).
    std::uint16_t timingBase() const;
    const TimingBlock::Bytes& timingBlock() const { return timing_.registers(); }
    const TimingBlock::Bytes& activeTimingBlock() const { return timing_.active(); }
    std::uint8_t timingRegister(std::uint16_t address) const;
    void setTimingRegister(std::uint16_t address, std::uint8_t value);
    int timingCommits() const { return timing_.commits(); }
    bool timingAccessOpen() const { return timingOpen_; }

    // Remote keys in the order received; the input the selection keys chose (0..7).
    const std::vector<std::uint8_t>& recordedKeys() const { return keys_; }
    int selectedInput() const { return input_; }

    // Picture and frame memory.
    bool frozen() const { return frozen_; }
    const TestPicture& picture() const { return picture_; }
    // The current (frozen or latest live) frame; outside the picture comes the filler.
    Rgb pixelRGB(int x, int y) const { return picture_.pixel(x, y); }
    // Line y as Line data carries it: red, green, blue of `pixels` pixels (filler past the
    // picture's width), or of the picture's width when not given.
    std::vector<std::uint8_t> expectedLine(int y, int pixels = -1) const;
    // The line the next Line data request sends.
    int nextLine() const { return nextLine_; }
    int frameCount() const { return frames_; }

    // Counters.
    long reportsIn() const { return reportsIn_; }
    long answersOut() const { return answersOut_; }
    long unknownCommands() const { return unknown_; }

  private:
    void handleCommand(const std::uint8_t* c);
    void handleDataReport(const std::uint8_t* data);
    void sendLine(int reports);
    void selectInput(int input);
    Answer& answer();  // a new all-zero answer at the end of the queue
    void ack(std::uint8_t code);

    SimOptions options_;
    FlashRom flash_;
    TimingBlock timing_;
    TestPicture picture_;

    struct Queued {
        Answer bytes{};
        AnswerTag tag;
    };
    std::vector<Queued> ready_;
    std::size_t head_ = 0;
    std::vector<Queued> late_;
    AnswerTag answering_;  // what the answers made now report
    UnitView view_;

    // Flash write in progress.
    std::uint32_t writeAddress_ = 0;
    std::uint32_t dataReportsLeft_ = 0;
    long corruptCountdown_ = 0;
    bool corruptPending_ = false;

    // Checksum.
    bool sumRequested_ = false;
    std::uint16_t sum_ = 0;
    int pollsLeft_ = 0;

    bool timingOpen_ = false;
    std::vector<std::uint8_t> keys_;
    int input_ = 0;
    bool frozen_ = false;
    int nextLine_ = 0;
    int frames_ = 0;
    std::vector<std::uint8_t> lineBytes_;

    long reportsIn_ = 0;
    long answersOut_ = 0;
    long unknown_ = 0;
};

}  // namespace kavo3::sim
