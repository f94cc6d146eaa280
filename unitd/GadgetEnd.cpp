#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>

#include "link/linux/UniqueFd.h"
#include "unitd/BusEnd.h"

namespace kavo3::unitd {
namespace {

class GadgetEnd : public BusEnd {
  public:
    GadgetEnd(link::UniqueFd fd, std::string node, std::string gadgetDir)
        : fd_(std::move(fd)),
          node_(std::move(node)),
          udcFile_(gadgetDir.empty() ? "" : gadgetDir + "/UDC") {}

    int fd() const override { return fd_.get(); }
    bool sendsWait() const override { return true; }

    bool receive(UnitServer& server) override {
        std::array<std::uint8_t, 64> report;
        const ssize_t n = ::read(fd_.get(), report.data(), report.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
        if (n < 0) {
            failure_ = std::string("read: ") + std::strerror(errno);
            return false;
        }
        // The endpoint carries the output report without its ID byte.
        server.reportFromHost(std::span(report.data(), static_cast<std::size_t>(n)), false);
        return true;
    }

    Sent send(const sim::Answer& answer) override {
        const ssize_t n = ::write(fd_.get(), answer.data(), answer.size());
        if (n == static_cast<ssize_t>(answer.size())) return Sent::Yes;
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return Sent::NotNow;
        // The host disabled the function (unbound, unplugged): the answer is lost.
        failure_ = n < 0 ? std::string("write: ") + std::strerror(errno) : "write: short";
        return Sent::Lost;
    }

    // The controller it is bound to now is the one it comes back to.
    bool unplug() override {
        if (udcFile_.empty()) return false;
        std::ifstream udc(udcFile_);
        std::getline(udc, controller_);
        if (controller_.empty()) {
            failure_ = udcFile_ + ": the gadget is not bound to a controller";
            return false;
        }
        // The node goes with the binding; a new one comes with the next.
        fd_.reset();
        return writeUdc("\n");
    }
    bool plugIn() override {
        if (controller_.empty() || !writeUdc(controller_ + "\n")) return false;
        // devtmpfs makes the node just after the bind; a guard of a few seconds.
        for (int tries = 0; tries < 500 && !fd_; ++tries) {
            fd_ = link::UniqueFd(::open(node_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
            if (!fd_) ::usleep(10000);
        }
        if (!fd_) failure_ = node_ + ": " + std::strerror(errno);
        return static_cast<bool>(fd_);
    }

  private:
    bool writeUdc(const std::string& text) {
        std::ofstream udc(udcFile_);
        udc << text << std::flush;
        if (!udc) failure_ = udcFile_ + ": not written";
        return static_cast<bool>(udc);
    }

    link::UniqueFd fd_;
    std::string node_;
    std::string udcFile_;
    std::string controller_;  // the UDC the gadget was bound to
};

}  // namespace

std::unique_ptr<BusEnd> openGadget(const std::string& node, const std::string& gadgetDir,
                                   std::string& error) {
    link::UniqueFd fd(::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        error = node + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<GadgetEnd>(std::move(fd), node, gadgetDir);
}

}  // namespace kavo3::unitd
