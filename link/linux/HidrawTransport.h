// HID interfaces on Linux through hidraw: listed from sysfs, moved through /dev/hidrawN.
#pragma once

#include <string>

#include "link/Transport.h"
#include "link/linux/NodeCalls.h"

namespace kavo3::link {

class HidrawTransport : public Transport {
  public:
    // Both roots are parameters so that a test can hand a tree of its own.
    explicit HidrawTransport(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    // Every <sysfsRoot>/class/hidraw/hidrawN as <devRoot>/hidrawN, by N, with the identity and,
    // for a unit, the report lengths that sysfs gives; no node is opened.
    std::vector<InterfaceEntry> listInterfaces() override;
    // The node is held for this program with an advisory lock; Busy where another has it.
    std::unique_ptr<HidHandle> open(const std::string& path, OpenError& error) override;
    std::optional<long> holderOf(const std::string& path) override;
    std::string permissionHint() const override;
    // HID_PHYS of the node's device in sysfs, e.g. usb-0000:00:14.0-1.2/input0.
    std::string portPathOf(const std::string& path) override;
    // From the USB device above the node's HID device in sysfs: bcdDevice, manufacturer,
    // product, serial.
    UsbDescription describe(const std::string& path) override;
    // The USB serial string, so that another unit plugged into the same port is not taken for
    // this one by the unit's ledger.
    std::string serialOf(const std::string& path) override { return describe(path).serial; }
    // Units of the system's own tree; a test's tree lives only as long as the test.
    bool unitsOutliveProgram() const override { return sysfsRoot_ == "/sys"; }

  protected:
    // Opens the device node for reading and writing: a descriptor, or -errno.
    // Tests put one end of a socket pair in place of the node.
    virtual int openNode(const std::string& path);
    // The calls that move reports through an open node; must outlive every handle.
    virtual NodeCalls& nodeCalls() { return NodeCalls::system(); }

  private:
    std::string sysfsDirOf(const std::string& path) const;

    std::string sysfsRoot_;
    std::string devRoot_;
};

}  // namespace kavo3::link
