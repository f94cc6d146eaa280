#include "sim/SimulatedUnit.h"

#include <cstdlib>

#include <algorithm>

#include "sim/CommandCodes.h"

namespace kavo3::sim {
namespace {


// Remote keys that pick an input, in the order of the inputs they pick.
constexpr std::array<std::uint8_t, 8> kInputKeys{27, 2, 30, 22, 28, 29, 79, 80};

constexpr std::uint8_t kAck = 0xAC;

// A flash write loses a bit once per this many data reports (4 KiB), starting with the first.
constexpr long kCorruptEvery = 512;

std::uint32_t u24(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16;
}

}  // namespace

SimulatedUnit::SimulatedUnit(const SimOptions& options)
    : options_(options), picture_(std::max(options.width, 1), std::max(options.height, 1)) {
    picture_.setBlack(!options_.input);
    ready_.reserve(128);
    view_.setChecking(options.viewChecks);
}

void SimulatedUnit::changeFaults(const SimOptions& faults) {
    options_.noAnswer = faults.noAnswer;
    options_.zeroAnswers = faults.zeroAnswers;
    options_.lateAnswers = faults.lateAnswers;
    options_.answeredBeforeLate = faults.answeredBeforeLate;
    options_.corruptFlash = faults.corruptFlash;
    options_.checksumPolls = faults.checksumPolls;
}

Answer& SimulatedUnit::answer() {
    ++answersOut_;
    return ready_.emplace_back(Queued{{}, answering_}).bytes;
}

void SimulatedUnit::ack(std::uint8_t code) {
    // Never 1 in byte 1, so that an acknowledgement taken for a status poll's answer by a
    // host that lost count does not pass for "checksum ready".
    Answer& a = answer();
    a[0] = kAck;
    a[1] = code;
}

void SimulatedUnit::restart() {
    discardAnswers();
    late_.clear();
    dataReportsLeft_ = 0;
    sumRequested_ = false;
    pollsLeft_ = 0;
    timingOpen_ = false;
    frozen_ = false;
    nextLine_ = 0;
}

std::string SimulatedUnit::keptState() const {
    return "dataleft=" + std::to_string(dataReportsLeft_) + "\naddress=" +
           std::to_string(writeAddress_) + "\nfrozen=" + std::to_string(frozen_ ? 1 : 0) +
           "\ntiming=" + std::to_string(timingOpen_ ? 1 : 0) + "\nsum=" +
           std::to_string(sumRequested_ ? sum_ + 0x10000 : 0) + "\n";
}

void SimulatedUnit::restoreKept(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        const unsigned long value = std::strtoul(line.c_str() + equals + 1, nullptr, 10);
        if (name == "dataleft") dataReportsLeft_ = static_cast<std::uint32_t>(value);
        if (name == "address") writeAddress_ = static_cast<std::uint32_t>(value) % FlashRom::kSize;
        if (name == "frozen") frozen_ = value != 0;
        if (name == "timing") timingOpen_ = value != 0;
        if (name == "sum") {
            sumRequested_ = value != 0;
            sum_ = static_cast<std::uint16_t>(value & 0xFFFF);
        }
    }
}

void SimulatedUnit::restoreFlash(const std::vector<std::uint8_t>& bytes) {
    flash_.restore(bytes);
}

void SimulatedUnit::popAnswer(int attachment) {
    view_.answerDelivered(attachment, ready_[head_].tag);
    if (++head_ >= ready_.size()) discardAnswers();
}

void SimulatedUnit::discardAnswers() {
    ready_.clear();
    head_ = 0;
}

void SimulatedUnit::lateAnswersArrive() {
    ready_.insert(ready_.end(), late_.begin(), late_.end());
    late_.clear();
}

bool SimulatedUnit::receive(std::span<const std::uint8_t> outputReport, link::Meant meant,
                            int attachment) {
    if (outputReport.size() < 9 || outputReport[0] != 0) return false;
    ++reportsIn_;

    const bool takingData = dataReportsLeft_ > 0;
    view_.reportArrives(attachment, outputReport.subspan<1, 8>(), meant, takingData);
    const std::size_t before = ready_.size();
    if (takingData)
        handleDataReport(outputReport.data() + 1);
    else
        handleCommand(outputReport.data() + 1);
    view_.reportTaken(attachment, !takingData && dataReportsLeft_ > 0);

    // The fault switches act on whatever this report was answered with.
    if (ready_.size() == before) return true;
    const auto fresh = ready_.begin() + static_cast<std::ptrdiff_t>(before);
    if (options_.zeroAnswers)
        std::for_each(fresh, ready_.end(), [](Queued& a) { a.bytes.fill(0); });
    if (options_.noAnswer && reportsIn_ > options_.answeredBeforeSilence) {
        ready_.erase(fresh, ready_.end());
    } else if (options_.lateAnswers && reportsIn_ > options_.answeredBeforeLate) {
        late_.insert(late_.end(), fresh, ready_.end());
        ready_.erase(fresh, ready_.end());
    }
    if (head_ >= ready_.size()) discardAnswers();
    return true;
}

void SimulatedUnit::handleDataReport(const std::uint8_t* data) {
    answering_ = {Cmd::WriteStart, 0};
    std::array<std::uint8_t, 8> bytes;
    std::copy_n(data, 8, bytes.begin());
    if (options_.corruptFlash) {
        if (corruptCountdown_ == 0) corruptPending_ = true;
        corruptCountdown_ = (corruptCountdown_ + 1) % kCorruptEvery;
        // A weak cell: one bit that should have stayed 1 drops to 0. Always a real change,
        // so the stored sum can only fall short of the file's.
        for (std::size_t i = 0; corruptPending_ && i < bytes.size(); ++i) {
            const auto would = static_cast<std::uint8_t>(flash_.at(writeAddress_ + i) & bytes[i]);
            if (would == 0) continue;
            bytes[i] = static_cast<std::uint8_t>(would & (would - 1));
            corruptPending_ = false;
        }
    }
    flash_.program(writeAddress_, bytes);
    writeAddress_ = (writeAddress_ + 8) % FlashRom::kSize;
    if (--dataReportsLeft_ == 0) ack(Cmd::WriteStart);
}

void SimulatedUnit::handleCommand(const std::uint8_t* c) {
    answering_ = {c[0], static_cast<std::uint16_t>(c[2] | c[3] << 8)};
    switch (c[0]) {
        case Cmd::ConnectionCheck: {
            Answer& a = answer();
            a[0] = Cmd::ConnectionCheck;
            a[1] = 'K';
            a[2] = 'V';
            a[3] = '3';
            a[4] = 1;  // firmware 1.11
            a[5] = 11;
            break;
        }
        case Cmd::Erase4K:
        case Cmd::Erase32K:
            // Without the closing bytes the flash is left alone; the command is answered all
            // the same.
            if (c[5] == 0x55 && c[6] == 0xAA && c[7] == 0x55)
                flash_.erase(u24(c + 2) % FlashRom::kSize,
                             c[0] == Cmd::Erase4K ? FlashRom::kSmallBlock : FlashRom::kLargeBlock);
            ack(c[0]);
            break;
        case Cmd::WriteStart:
            writeAddress_ = u24(c + 2) % FlashRom::kSize;
            dataReportsLeft_ = u24(c + 5) / 8;
            corruptCountdown_ = 0;
            corruptPending_ = false;
            if (dataReportsLeft_ == 0) ack(Cmd::WriteStart);
            break;
        case Cmd::ChecksumRequest:
            sum_ = flash_.sum(u24(c + 2), u24(c + 5));
            sumRequested_ = true;
            pollsLeft_ = options_.checksumPolls;
            break;
        case Cmd::StatusPoll: {
            Answer& a = answer();
            if (sumRequested_ && pollsLeft_ == 0) {
                a[0] = 1;
                a[1] = static_cast<std::uint8_t>(sum_ & 0xFF);
                a[2] = static_cast<std::uint8_t>(sum_ >> 8);
            } else if (pollsLeft_ > 0) {
                --pollsLeft_;
            }
            break;
        }
        case Cmd::TimingAccess:
            if (c[1] == 1) {
                timingOpen_ = true;
                Answer& a = answer();
                a[0] = options_.timingBaseLow;
                a[1] = options_.timingBaseHigh;
            } else {
                timingOpen_ = false;
                ack(c[0]);
            }
            break;
        case Cmd::BlockRead: {
            const int offset = (c[2] | c[3] << 8) - timingBase();
            Answer& a = answer();
            for (int j = 0; j < 8; ++j) a[static_cast<std::size_t>(j)] = timing_.read(offset + j);
            break;
        }
        case Cmd::BlockWrite: {
            const int offset = (c[2] | c[3] << 8) - timingBase();
            for (int j = 0; j < 4; ++j) timing_.write(offset + j, c[4 + j]);
            ack(c[0]);
            break;
        }
        case Cmd::WriteEnd:
            timing_.commit();
            ack(c[0]);
            break;
        case Cmd::RemoteKey: {
            keys_.push_back(c[1]);
            const auto* key = std::find(kInputKeys.begin(), kInputKeys.end(), c[1]);
            if (key != kInputKeys.end()) selectInput(static_cast<int>(key - kInputKeys.begin()));
            ack(c[0]);
            break;
        }
        case Cmd::FrameInformation: {
            if (!frozen_) {
                picture_.advanceFrame();
                ++frames_;
            }
            nextLine_ = 0;
            const std::int32_t h = options_.horizontalValue.value_or(options_.width - 7);
            const std::int32_t v = options_.verticalValue.value_or(options_.height - 10);
            Answer& a = answer();
            a[0] = static_cast<std::uint8_t>(h & 0xFF);
            a[1] = static_cast<std::uint8_t>((h >> 8) & 0xFF);
            a[2] = static_cast<std::uint8_t>(v & 0xFF);
            a[3] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
            a[4] = static_cast<std::uint8_t>(options_.fpgaSelect);
            a[5] = options_.input ? 1 : 0;
            break;
        }
        case Cmd::LineData:
            sendLine(c[1]);
            break;
        case Cmd::Freeze:
            if (c[1] != 0 && !frozen_) {
                // Freezing holds the newest frame, a later one than the last that was read.
                picture_.advanceFrame();
                ++frames_;
            }
            frozen_ = c[1] != 0;
            ack(c[0]);
            break;
        default:
            ++unknown_;  // the firmware ignores codes it does not know
            break;
    }
}

void SimulatedUnit::sendLine(int reports) {
    const int y = nextLine_++;
    lineBytes_.resize(static_cast<std::size_t>(reports) * 64);
    picture_.fillLine(y, lineBytes_);
    for (int r = 0; r < reports; ++r)
        std::copy_n(lineBytes_.begin() + r * 64, 64, answer().begin());
}

void SimulatedUnit::selectInput(int input) {
    input_ = input;
    static constexpr std::array<Pattern, 4> kPatterns{Pattern::Composite, Pattern::Bars,
                                                      Pattern::Ramps, Pattern::Grid};
    picture_.setPattern(kPatterns[static_cast<std::size_t>(input % 4)]);
    picture_.setInverted(input >= 4);
}

std::uint16_t SimulatedUnit::timingBase() const {
    return static_cast<std::uint16_t>(options_.timingBaseLow | options_.timingBaseHigh << 8);
}

std::uint8_t SimulatedUnit::timingRegister(std::uint16_t address) const {
    return timing_.read(address - timingBase());
}

void SimulatedUnit::setTimingRegister(std::uint16_t address, std::uint8_t value) {
    timing_.write(address - timingBase(), value);
    timing_.commit();
}

std::vector<std::uint8_t> SimulatedUnit::expectedLine(int y, int pixels) const {
    if (pixels < 0) pixels = picture_.width();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(pixels) * 3);
    picture_.fillLine(y, out);
    return out;
}

}  // namespace kavo3::sim
