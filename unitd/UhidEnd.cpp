#include <errno.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "link/linux/UniqueFd.h"
#include "unitd/BusEnd.h"

namespace kavo3::unitd {
namespace {

constexpr std::uint8_t kDescriptor[] = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor usage, application collection
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,  // bytes of 0..255
    0x95, 0x40, 0x09, 0x01, 0x81, 0x02,        // Input: 64 bytes
    0x95, 0x08, 0x09, 0x01, 0x91, 0x02,        // Output: 8 bytes
    0xC0,
};

bool writeEvent(int fd, const uhid_event& event) {
    for (;;) {
        const ssize_t n = ::write(fd, &event, sizeof event);
        if (n == static_cast<ssize_t>(sizeof event)) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

uhid_event creation(std::uint16_t vendor, std::uint16_t product, const std::string& phys) {
    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req& c = event.u.create2;
    std::snprintf(reinterpret_cast<char*>(c.name), sizeof c.name, "KAVO-3 (simulated)");
    std::snprintf(reinterpret_cast<char*>(c.phys), sizeof c.phys, "%s", phys.c_str());
    c.rd_size = sizeof kDescriptor;
    c.bus = BUS_USB;
    c.vendor = vendor;
    c.product = product;
    std::memcpy(c.rd_data, kDescriptor, sizeof kDescriptor);
    return event;
}

class UhidEnd : public BusEnd {
  public:
    UhidEnd(link::UniqueFd fd, const uhid_event& creation)
        : fd_(std::move(fd)), creation_(creation) {}
    ~UhidEnd() override { unplug(); }

    bool unplug() override {
        if (!present_) return true;
        uhid_event event{};
        event.type = UHID_DESTROY;
        present_ = !writeEvent(fd_.get(), event);
        return !present_;
    }
    bool plugIn() override {
        if (present_) return true;
        present_ = writeEvent(fd_.get(), creation_);
        if (!present_) failure_ = std::string("creating the device: ") + std::strerror(errno);
        return present_;
    }

    int fd() const override { return fd_.get(); }
    bool sendsWait() const override { return false; }

    bool receive(UnitServer& server) override {
        uhid_event event{};
        const ssize_t n = ::read(fd_.get(), &event, sizeof event);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
        if (n <= 0) {
            failure_ = std::string("read: ") + (n < 0 ? std::strerror(errno) : "end of file");
            return false;
        }
        switch (event.type) {
            case UHID_OPEN:
                server.hostOpened();
                break;
            case UHID_CLOSE:
                server.hostClosed();
                break;
            case UHID_OUTPUT:
                // uhid hands over the report as hidraw got it, ID byte first.
                if (event.u.output.rtype == UHID_OUTPUT_REPORT)
                    server.reportFromHost(
                        std::span(event.u.output.data,
                                  std::min<std::size_t>(event.u.output.size, UHID_DATA_MAX)),
                        true);
                break;
            case UHID_GET_REPORT: {
                // The unit has no feature reports.
                uhid_event reply{};
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = event.u.get_report.id;
                reply.u.get_report_reply.err = EIO;
                writeEvent(fd_.get(), reply);
                break;
            }
            case UHID_SET_REPORT: {
                uhid_event reply{};
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = event.u.set_report.id;
                reply.u.set_report_reply.err = EIO;
                writeEvent(fd_.get(), reply);
                break;
            }
            default:
                break;
        }
        return true;
    }

    Sent send(const sim::Answer& answer) override {
        uhid_event event{};
        event.type = UHID_INPUT2;
        event.u.input2.size = static_cast<std::uint16_t>(answer.size());
        std::copy(answer.begin(), answer.end(), event.u.input2.data);
        if (writeEvent(fd_.get(), event)) return Sent::Yes;
        failure_ = std::string("write: ") + std::strerror(errno);
        return Sent::Lost;
    }

  private:
    link::UniqueFd fd_;
    uhid_event creation_;
    bool present_ = true;
};

}  // namespace

const std::uint8_t* unitReportDescriptor(std::size_t& size) {
    size = sizeof kDescriptor;
    return kDescriptor;
}

std::unique_ptr<BusEnd> createUhidDevice(const std::string& node, std::uint16_t vendor,
                                         std::uint16_t product, const std::string& phys,
                                         std::string& error) {
    link::UniqueFd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) {
        error = node + ": " + std::strerror(errno);
        return nullptr;
    }
    const uhid_event event = creation(vendor, product, phys);
    if (!writeEvent(fd.get(), event)) {
        error = node + ": creating the device: " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<UhidEnd>(std::move(fd), event);
}

}  // namespace kavo3::unitd
