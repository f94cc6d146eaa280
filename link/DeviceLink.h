// The device link: finds the unit, keeps its handles and moves one command report
// out and one input report in at a time. It never shows anything and never throws;
// a missing unit or a lost answer ends in zero response bytes.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Transport.h"

namespace kavo3::link {

class Trace;

// Identities the unit answers to.
bool isKavo3Identity(std::uint16_t vendorId, std::uint16_t productId);

// Shortest reports the protocol can live with (ID byte included).
inline constexpr std::uint16_t kMinOutputReportLength = 9;
inline constexpr std::uint16_t kMinInputReportLength = 65;

class DeviceLink {
  public:
    static constexpr std::chrono::milliseconds kReadWait{1000};

    explicit DeviceLink(Transport& transport, std::chrono::milliseconds readWait = kReadWait,
                        Trace* trace = nullptr);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Searches the HID interfaces from the first one on; the first unit found wins.
    bool OpenDevice();
    bool DeviceFound() const { return found_; }

    // Sends one output report: ID 0, the eight bytes, zeros to the declared length.
    // Searches for the unit first while it is not open; sends nothing if it stays absent.
    void WriteReport(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                     std::uint8_t b4, std::uint8_t b5, std::uint8_t b6, std::uint8_t b7);
    void WriteReport(const std::array<std::uint8_t, 8>& bytes);
    // Sends CommandBytes as they stand.
    void WriteCommand() { WriteReport(CommandBytes); }

    // Whether the latest write reached the unit. A write that was not taken cannot be
    // answered: the reads that follow it end at once with zeros instead of waiting.
    bool lastWriteTaken() const { return lastWriteTaken_; }

    // Waits for the next input report and leaves it in ReadBuffer; all zeros when none came.
    // When the platform says that the unit has left, both handles are closed and DeviceFound
    // becomes false: reads then end at once, and the next write searches again.
    void ReadReport();

    // WriteCommand followed by ReadReport.
    void Exchange() {
        WriteCommand();
        ReadReport();
    }

    // A caller that must not be interrupted (a download's data phase) holds the link
    // (link/LinkHold.h): meanwhile every write or read made other than through the hold is
    // refused, never sent, as one thread cannot wait for the hold to end.
    class Hold;
    [[nodiscard]] Hold hold();
    bool held() const { return held_; }
    // Runs `command` now, or once the hold has ended while the link is held.
    void runWhenFree(std::function<void()> command);

    // Runs `settle` with the next unit a search finds, before anything else is sent to it: a
    // download's data phase that the unit left in the middle settles its rest there.
    void settleWithNextUnit(std::function<void()> settle) { settleNext_ = std::move(settle); }

    // Closes both handles; a later write searches again.
    void Close();

    // What keeps a listed unit from being used that the user can mend, and how: no permission
    // to open it, another program holding it (both set by the latest search), or an endpoint
    // that stalls (set by the write that met it). Empty when there is none. It also goes to
    // the trace and, once per text, to standard error.
    const std::string& unitProblem() const { return unitProblem_; }
    // Told of every change of unitProblem(), so that a window can show it while it lasts.
    void setProblemListener(std::function<void(const std::string&)> listener) {
        problemListener_ = std::move(listener);
    }

    std::chrono::milliseconds readWait() const { return readWait_; }
    const std::string& DevicePath() const { return devicePath_; }

    std::array<std::uint8_t, 8> CommandBytes{};
    std::vector<std::uint8_t> ReadBuffer = std::vector<std::uint8_t>(kMinInputReportLength, 0);
    HidCaps DeviceCaps{};
    HidAttributes DeviceAttributes{};  // of the unit found by the latest search

  private:
    bool tryInterface(const InterfaceEntry& entry);
    void openRefused(const InterfaceEntry& entry, OpenError error);
    void setProblem(std::string text);
    void unitGone();
    void note(const std::string& text);
    bool refusedWhileHeld(const char* what);

    Transport& transport_;
    std::chrono::milliseconds readWait_;
    Trace* trace_;
    bool found_ = false;
    std::unique_ptr<HidHandle> DeviceHandle;
    std::unique_ptr<HidHandle> ReadHandle;
    std::string devicePath_;
    std::string unitProblem_;
    std::string problemOnStderr_;  // the problem last told on standard error
    std::function<void(const std::string&)> problemListener_;
    bool lastWriteTaken_ = true;
    bool unansweredNoted_ = false;  // the trace said why reads after it are not waited for
    std::vector<std::uint8_t> outputReport_;
    bool held_ = false;
    bool holderActing_ = false;   // the current write or read comes through the hold
    bool lostWhileHeld_ = false;  // the unit left during the hold: no search until it ends
    std::vector<std::function<void()>> whenFree_;
    std::function<void()> settleNext_;
};

}  // namespace kavo3::link
