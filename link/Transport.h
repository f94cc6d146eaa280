// The platform side of the device link: listing HID interfaces, opening one,
// and moving whole reports. DeviceLink holds the protocol; backends only move bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kavo3::link {

struct HidAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// Report lengths as Windows counts them: the largest report of its kind plus the ID byte.
struct HidCaps {
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
};

enum class ReadStatus {
    Report,   // one input report was copied into the buffer
    Timeout,  // nothing arrived within the time limit
    Failed,   // the read failed; the interface may still be there
    Gone,     // the platform says that the device has left
};

// What the host means an output report as. A unit cannot tell raw data from a command by its
// bytes; a simulated unit is told beside the wire, as a bus analyser that knows the host would
// be, so that it can check that each report arrived where it belongs.
enum class Meant {
    Command,  // a command with its code in byte 0
    Data,     // one of the raw data reports that a taken write start announced
    Probe,    // taken either way: as a command, or as data by a unit still expecting some
};

enum class WriteStatus {
    Taken,    // the platform took the whole report
    Refused,  // the platform did not take it; the interface may still be there
    Stalled,  // the unit's endpoint stalls: nothing clears that until the unit is replugged
    Gone,     // the platform says that the device has left
};

// One opened interface. Closing is the destructor.
class HidHandle {
  public:
    virtual ~HidHandle() = default;

    virtual std::optional<HidAttributes> attributes() = 0;
    virtual std::optional<HidCaps> capabilities() = 0;

    // Writes one whole output report, ID byte first; blocks until the platform took it or gave
    // it up. An error that may come from a disconnect counts as Gone only once the system no
    // longer lists the device.
    virtual WriteStatus write(std::span<const std::uint8_t> report) = 0;

    // Reads one input report into `buffer`, ID byte at index 0 (0 for unnumbered reports).
    // Never leaves a read outstanding after it returns.
    virtual ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;

    // Says what the next write is meant as; backends that only move bytes ignore it.
    virtual void meantAs(Meant) {}

    // Throws away whatever input is already queued, so that a late answer cannot
    // be taken for the answer to the next command.
    virtual void discardQueuedInput() = 0;

    // What the platform said about the latest write that was not taken or read that brought
    // no report, for the trace.
    virtual std::string failureText() const { return {}; }
};

enum class OpenError {
    None,
    NotPermitted,  // the node exists but this user may not open it
    Busy,          // another program holds it
    Failed,        // gone, or not a HID interface
};

// One present HID interface, with what the platform says of it without opening it (sysfs on
// Linux, the interface path on Windows). An interface listed with another identity, or with
// reports too short, is never opened: other devices are neither woken nor held.
struct InterfaceEntry {
    std::string path;
    std::optional<HidAttributes> listedIdentity{};
    std::optional<HidCaps> listedCaps{};
};

class Transport {
  public:
    virtual ~Transport() = default;

    // The present HID interfaces, in a stable order.
    virtual std::vector<InterfaceEntry> listInterfaces() = 0;

    // Opens an interface for reading and writing; nullptr with `error` set on failure. An
    // opened unit is held for this program alone (every program of ours asks the same way);
    // further opens of the same path within this program share that hold.
    virtual std::unique_ptr<HidHandle> open(const std::string& path, OpenError& error) = 0;

    // The process that holds `path` after an open failed with Busy, where the platform says.
    virtual std::optional<long> holderOf(const std::string& path) {
        (void)path;
        return std::nullopt;
    }

    // What a user has to do when a unit cannot be opened for lack of permission.
    virtual std::string permissionHint() const { return {}; }

    // Whether its units live on after this program ends, so that what one is left in the middle
    // of must be written down for the next program: true for the platform's backends; a
    // simulated unit or a test's fake lives only as long as its program.
    virtual bool unitsOutliveProgram() const { return false; }

    // What tells this unit from another of the same make at the same place, where the platform
    // says (a serial number); empty where it does not.
    virtual std::string serialOf(const std::string& path) {
        (void)path;
        return {};
    }

    // Where the interface sits on the USB, by its hub ports, so that a unit keeps its name on a
    // given port whatever node it gets; empty where the platform does not say.
    virtual std::string portPathOf(const std::string& path) {
        (void)path;
        return {};
    }
};

}  // namespace kavo3::link
