#include "link/linux/HidrawTransport.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>

#include "link/DeviceLink.h"
#include "link/ReportDescriptor.h"
#include "link/linux/NodeLock.h"
#include "link/linux/UniqueFd.h"

namespace kavo3::link {
namespace {

using Clock = std::chrono::steady_clock;

// Reads a whole small file (sysfs attributes); nullopt when it cannot be read.
std::optional<std::vector<std::uint8_t>> readSmallFile(const std::string& path,
                                                       std::size_t maxBytes) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    std::vector<std::uint8_t> data;
    std::array<std::uint8_t, 4096> chunk;
    while (data.size() < maxBytes) {
        const ssize_t n = ::read(fd.get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        data.insert(data.end(), chunk.begin(), chunk.begin() + n);
    }
    if (data.size() > maxBytes) data.resize(maxBytes);
    return data;
}

std::optional<std::uint32_t> parseHex(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "HID_ID=0003:000017A7:00000001" (bus:vendor:product); older kernels print 4 digits.
std::optional<HidAttributes> identityFromUevent(std::string_view uevent) {
    constexpr std::string_view key = "HID_ID=";
    while (!uevent.empty()) {
        const std::size_t eol = uevent.find('\n');
        const std::string_view line = uevent.substr(0, eol);
        uevent = eol == std::string_view::npos ? std::string_view{} : uevent.substr(eol + 1);
        if (!line.starts_with(key)) continue;

        const std::string_view fields = line.substr(key.size());
        const std::size_t c1 = fields.find(':');
        const std::size_t c2 = c1 == std::string_view::npos ? c1 : fields.find(':', c1 + 1);
        if (c2 == std::string_view::npos) return std::nullopt;
        const auto bus = parseHex(fields.substr(0, c1));
        const auto vendor = parseHex(fields.substr(c1 + 1, c2 - c1 - 1));
        const auto product = parseHex(fields.substr(c2 + 1));
        if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF)
            return std::nullopt;
        HidAttributes attributes;
        attributes.VendorID = static_cast<std::uint16_t>(*vendor);
        attributes.ProductID = static_cast<std::uint16_t>(*product);
        return attributes;
    }
    return std::nullopt;
}

std::optional<HidAttributes> identityFromSysfs(const std::string& sysfsDir) {
    const auto uevent = readSmallFile(sysfsDir + "/device/uevent", 16 * 1024);
    if (!uevent) return std::nullopt;
    return identityFromUevent(
        std::string_view(reinterpret_cast<const char*>(uevent->data()), uevent->size()));
}

// N of "hidrawN", nothing for any other name.
std::optional<unsigned> hidrawNumber(std::string_view name) {
    constexpr std::string_view prefix = "hidraw";
    if (!name.starts_with(prefix)) return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return n;
}

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

// What a hidraw node may answer when its device is being unplugged; the same codes come from
// a transfer that failed with the device still there, so the system decides.
bool mayMeanDeviceLeft(int error) {
    return error == ENODEV || error == EIO || error == EPROTO || error == EILSEQ ||
           error == ETIME || error == ESHUTDOWN;
}

// A write that meets a stalled endpoint is tried this often in all before it is given up.
constexpr int kStallTries = 3;

// How long a failed transfer gives the kernel to finish a disconnect it may be in the middle of.
constexpr int kDepartureSettleMs = 50;

std::string describeErrno(const char* call, int error) {
    std::string text = call;
    text += ": ";
    text += std::strerror(error);
    if (const char* name = ::strerrorname_np(error)) {
        text += " (";
        text += name;
        text += ')';
    }
    return text;
}

class HidrawHandle : public HidHandle {
  public:
    HidrawHandle(UniqueFd fd, std::string sysfsDir, NodeCalls& calls,
                 std::shared_ptr<NodeLock> lock)
        : fd_(std::move(fd)),
          sysfsDir_(std::move(sysfsDir)),
          calls_(calls),
          lock_(std::move(lock)) {}

    std::optional<HidAttributes> attributes() override {
        hidraw_devinfo info{};
        if (::ioctl(fd_.get(), HIDIOCGRAWINFO, &info) == 0) {
            HidAttributes attributes;
            attributes.VendorID = static_cast<std::uint16_t>(info.vendor);
            attributes.ProductID = static_cast<std::uint16_t>(info.product);
            return attributes;
        }
        // Not a hidraw node after all (or an old kernel): the sysfs entry of the same name.
        return identityFromSysfs(sysfsDir_);
    }

    std::optional<HidCaps> capabilities() override {
        const std::optional<ReportLayout>& l = layout();
        if (!l) return std::nullopt;
        return l->lengths;
    }

    WriteStatus write(std::span<const std::uint8_t> report) override {
        if (hungUp_) return writeFailed(WriteStatus::Gone, "poll: the device hung up");
        for (int stalls = 0;;) {
            const ssize_t n = calls_.write(fd_.get(), report.data(), report.size());
            if (n >= 0 && static_cast<std::size_t>(n) == report.size()) return WriteStatus::Taken;
            if (n >= 0)
                return writeFailed(WriteStatus::Refused,
                                   "write: took " + std::to_string(n) + " of " +
                                       std::to_string(report.size()) + " bytes");
            if (errno == EINTR) continue;
            const int error = errno;
            if (error == EPIPE && ++stalls < kStallTries) continue;
            if (error == EPIPE && deviceLeft())
                return writeFailed(WriteStatus::Gone,
                                   describeErrno("write", error) + ", " + departure_);
            if (error == EPIPE)
                return writeFailed(WriteStatus::Stalled, describeErrno("write", error) + ", " +
                                                             std::to_string(kStallTries) +
                                                             " times: the endpoint stalls");
            // ETIMEDOUT: the kernel gave up after its own wait; the report is lost.
            if (!mayMeanDeviceLeft(error))
                return writeFailed(WriteStatus::Refused, describeErrno("write", error));
            return deviceLeft()
                       ? writeFailed(WriteStatus::Gone,
                                     describeErrno("write", error) + ", " + departure_)
                       : writeFailed(WriteStatus::Refused,
                                     describeErrno("write", error) + ", the device is still there");
        }
    }

    ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (hungUp_) return readFailed(ReadStatus::Gone, "poll: the device hung up");
        const Clock::time_point deadline = Clock::now() + timeout;
        // hidraw leaves out the ID byte of unnumbered input reports; index 0 keeps it.
        const std::optional<ReportLayout>& l = layout();
        const bool addIdByte = l && !l->numbered && !buffer.empty();
        const std::span<std::uint8_t> target = addIdByte ? buffer.subspan(1) : buffer;
        std::uint8_t scratch = 0;

        for (;;) {
            pollfd p{fd_.get(), POLLIN, 0};
            const int ready = calls_.poll(&p, 1, millisecondsUntil(deadline));
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) return readFailed(ReadStatus::Failed, describeErrno("poll", errno));
            if (ready == 0) return ReadStatus::Timeout;
            // A node whose device has left still hands over what was queued before.
            const bool hangUp = (p.revents & (POLLHUP | POLLERR)) != 0;
            if (!(p.revents & POLLIN)) {
                if (hangUp) return hungUp();
                return readFailed(ReadStatus::Failed, "poll: the descriptor is not valid");
            }

            const ssize_t n = target.empty() ? calls_.read(fd_.get(), &scratch, 1)
                                             : calls_.read(fd_.get(), target.data(), target.size());
            if (n > 0) {
                if (addIdByte) buffer[0] = 0;
                return ReadStatus::Report;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n == 0) {
                if (hangUp) return hungUp();
                return readFailed(ReadStatus::Failed, "read: no bytes");
            }
            const int error = errno;
            if (hangUp) return readFailed(ReadStatus::Gone, describeErrno("read", error));
            if (!mayMeanDeviceLeft(error))
                return readFailed(ReadStatus::Failed, describeErrno("read", error));
            return deviceLeft() ? readFailed(ReadStatus::Gone,
                                             describeErrno("read", error) + ", " + departure_)
                                : readFailed(ReadStatus::Failed, describeErrno("read", error) +
                                                                     ", the device is still there");
        }
    }

    void discardQueuedInput() override {
        if (hungUp_) return;
        std::array<std::uint8_t, 4096> scratch;
        // hidraw queues at most 64 reports; the bound only guards against a flood.
        for (int reads = 0; reads < 4096;) {
            pollfd p{fd_.get(), POLLIN, 0};
            const int ready = calls_.poll(&p, 1, 0);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return;
            if (!(p.revents & POLLIN)) {
                // The device has left: the write that follows says so without trying.
                if (p.revents & (POLLHUP | POLLERR)) hungUp_ = true;
                return;
            }
            const ssize_t n = calls_.read(fd_.get(), scratch.data(), scratch.size());
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                if (p.revents & (POLLHUP | POLLERR)) hungUp_ = true;
                return;
            }
            ++reads;
        }
    }

    std::string failureText() const override { return failure_; }

  private:
    // Asks the system whether the device has left: the node hangs up, or its sysfs entry is
    // gone. Says which in departure_.
    bool deviceLeft() {
        pollfd p{fd_.get(), 0, 0};  // no events asked for: only a hang-up or an error ends it
        int ready;
        do {
            ready = calls_.poll(&p, 1, kDepartureSettleMs);
        } while (ready < 0 && errno == EINTR);
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            hungUp_ = true;
            departure_ = "the device hung up";
            return true;
        }
        struct stat st {};
        if (::stat(sysfsDir_.c_str(), &st) != 0 && errno == ENOENT) {
            hungUp_ = true;
            departure_ = "the device is no longer listed in sysfs";
            return true;
        }
        return false;
    }

    ReadStatus hungUp() {
        hungUp_ = true;
        return readFailed(ReadStatus::Gone, "poll: the device hung up");
    }
    ReadStatus readFailed(ReadStatus status, std::string why) {
        failure_ = std::move(why);
        return status;
    }
    WriteStatus writeFailed(WriteStatus status, std::string why) {
        failure_ = std::move(why);
        return status;
    }

    const std::optional<ReportLayout>& layout() {
        if (!layoutRead_) {
            layoutRead_ = true;
            const std::optional<std::vector<std::uint8_t>> descriptor = reportDescriptor();
            if (descriptor) layout_ = parseReportLayout(*descriptor);
        }
        return layout_;
    }

    std::optional<std::vector<std::uint8_t>> reportDescriptor() const {
        int size = 0;
        if (::ioctl(fd_.get(), HIDIOCGRDESCSIZE, &size) == 0 && size >= 0 &&
            size <= HID_MAX_DESCRIPTOR_SIZE) {
            auto descriptor = std::make_unique<hidraw_report_descriptor>();
            descriptor->size = static_cast<std::uint32_t>(size);
            if (::ioctl(fd_.get(), HIDIOCGRDESC, descriptor.get()) == 0)
                return std::vector<std::uint8_t>(descriptor->value, descriptor->value + size);
        }
        return readSmallFile(sysfsDir_ + "/device/report_descriptor", 64 * 1024);
    }

    UniqueFd fd_;
    std::string sysfsDir_;
    NodeCalls& calls_;
    std::shared_ptr<NodeLock> lock_;
    bool hungUp_ = false;
    std::string failure_;
    std::string departure_;
    bool layoutRead_ = false;
    std::optional<ReportLayout> layout_;
};

}  // namespace

HidrawTransport::HidrawTransport(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

std::vector<InterfaceEntry> HidrawTransport::listInterfaces() {
    namespace fs = std::filesystem;
    std::vector<std::pair<unsigned, std::string>> nodes;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(sysfsRoot_) / "class" / "hidraw", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (const auto n = hidrawNumber(name)) nodes.emplace_back(*n, std::move(name));
    }
    // By number, so that hidraw2 comes before hidraw10 and the order stays the same.
    std::sort(nodes.begin(), nodes.end());

    std::vector<InterfaceEntry> interfaces;
    interfaces.reserve(nodes.size());
    for (const auto& [n, name] : nodes) {
        InterfaceEntry entry;
        entry.path = devRoot_ + "/" + name;
        const std::string sysfsDir = sysfsRoot_ + "/class/hidraw/" + name;
        entry.listedIdentity = identityFromSysfs(sysfsDir);
        // The descriptor is read only for a unit: it is what the search may open.
        if (entry.listedIdentity &&
            isKavo3Identity(entry.listedIdentity->VendorID, entry.listedIdentity->ProductID)) {
            const auto descriptor =
                readSmallFile(sysfsDir + "/device/report_descriptor", 64 * 1024);
            if (descriptor) entry.listedCaps = reportLengthsFromDescriptor(*descriptor);
        }
        interfaces.push_back(std::move(entry));
    }
    return interfaces;
}

std::unique_ptr<HidHandle> HidrawTransport::open(const std::string& path, OpenError& error) {
    const int fd = openNode(path);
    if (fd < 0) {
        error = (-fd == EACCES || -fd == EPERM) ? OpenError::NotPermitted : OpenError::Failed;
        return nullptr;
    }
    UniqueFd node(fd);
    NodeLock::Outcome outcome = NodeLock::Outcome::Held;
    std::shared_ptr<NodeLock> lock = NodeLock::take(node.get(), outcome);
    if (outcome == NodeLock::Outcome::Busy) {
        error = OpenError::Busy;
        return nullptr;
    }
    error = OpenError::None;
    return std::make_unique<HidrawHandle>(std::move(node), sysfsDirOf(path), nodeCalls(),
                                          std::move(lock));
}

std::optional<long> HidrawTransport::holderOf(const std::string& path) {
    return NodeLock::holderOf(path);
}

int HidrawTransport::openNode(const std::string& path) {
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) return fd;
        if (errno != EINTR) return -errno;
    }
}

std::string HidrawTransport::sysfsDirOf(const std::string& path) const {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return sysfsRoot_ + "/class/hidraw/" + name;
}

std::string HidrawTransport::permissionHint() const {
    return "Install the udev rule 70-kavo3.rules (packaging/linux): copy it as root to "
           "/etc/udev/rules.d/, run 'sudo udevadm control --reload', then unplug the unit and "
           "plug it in again.";
}

std::string HidrawTransport::portPathOf(const std::string& path) {
    const auto uevent = readSmallFile(sysfsDirOf(path) + "/device/uevent", 16 * 1024);
    if (!uevent) return {};
    constexpr std::string_view key = "HID_PHYS=";
    std::string_view rest(reinterpret_cast<const char*>(uevent->data()), uevent->size());
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        const std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
        if (line.starts_with(key)) return std::string(line.substr(key.size()));
    }
    return {};
}

UsbDescription HidrawTransport::describe(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path dir = fs::canonical(fs::path(sysfsDirOf(path)) / "device", error);
    if (error) return {};
    // hidrawN/device is the HID device; the USB interface is above it, the USB device above
    // that: the first folder up that has idVendor.
    for (int up = 0; up < 4 && !fs::exists(dir / "idVendor", error); ++up) {
        if (!dir.has_relative_path()) return {};
        dir = dir.parent_path();
    }
    if (!fs::exists(dir / "idVendor", error)) return {};
    const auto line = [&dir](const char* name) -> std::string {
        const auto bytes = readSmallFile((dir / name).string(), 512);
        if (!bytes) return {};
        std::string text(bytes->begin(), bytes->end());
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        return text;
    };
    UsbDescription description;
    if (const auto version = parseHex(line("bcdDevice")); version && *version <= 0xFFFF)
        description.version = static_cast<std::uint16_t>(*version);
    description.manufacturer = line("manufacturer");
    description.product = line("product");
    description.serial = line("serial");
    return description;
}

}  // namespace kavo3::link
