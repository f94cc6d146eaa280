#include "link/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>

namespace kavo3::link {
namespace {

// Item types and tags of the short item prefix (HID 1.11, 6.2.2).
enum : std::uint8_t { kMain = 0, kGlobal = 1 };
enum : std::uint8_t { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kEndCollection = 0xC };
enum : std::uint8_t {
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
constexpr std::uint8_t kLongItemPrefix = 0xFE;

// Deeper than any real descriptor needs; the kernel itself allows four.
constexpr std::size_t kPushDepth = 16;

// Beyond this a length no longer fits the 16-bit fields of HidCaps.
constexpr std::uint64_t kMaxReportBits = 8ull * 0xFFFE;

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

struct ReportBits {
    std::array<std::uint64_t, 256> bits{};
    std::bitset<256> present;

    void add(std::uint32_t id, std::uint64_t more) {
        present.set(id);
        bits[id] = std::min(bits[id] + more, kMaxReportBits + 1);
    }

    // Largest report in bytes plus the ID byte; 0 when there is none; nullopt when too long.
    std::optional<std::uint16_t> length() const {
        if (present.none()) return std::uint16_t{0};
        std::uint64_t longest = 0;
        for (std::size_t id = 0; id < bits.size(); ++id)
            if (present.test(id)) longest = std::max(longest, bits[id]);
        if (longest > kMaxReportBits) return std::nullopt;
        return static_cast<std::uint16_t>((longest + 7) / 8 + 1);
    }
};

}  // namespace

std::optional<ReportLayout> parseReportLayout(std::span<const std::uint8_t> descriptor) {
    Globals globals;
    std::array<Globals, kPushDepth> stack{};
    std::size_t depth = 0;
    std::size_t openCollections = 0;
    bool numbered = false;
    ReportBits input;
    ReportBits output;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            // Long items carry nothing that sizes a report; only their length matters.
            if (descriptor.size() - pos < 3) return std::nullopt;
            const std::size_t dataSize = descriptor[pos + 1];
            if (descriptor.size() - pos - 3 < dataSize) return std::nullopt;
            pos += 3 + dataSize;
            continue;
        }

        const std::size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        const std::uint8_t type = (prefix >> 2) & 0x3;
        const std::uint8_t tag = prefix >> 4;
        if (descriptor.size() - pos - 1 < size) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
        pos += 1 + size;

        if (type == kMain) {
            switch (tag) {
                case kInput:
                case kOutput: {
                    const std::uint64_t bits =
                        static_cast<std::uint64_t>(globals.reportSize) * globals.reportCount;
                    (tag == kInput ? input : output).add(globals.reportId, bits);
                    break;
                }
                case kCollection:
                    ++openCollections;
                    break;
                case kEndCollection:
                    if (openCollections == 0) return std::nullopt;
                    --openCollections;
                    break;
                default:  // Feature and reserved main items do not size input or output
                    break;
            }
        } else if (type == kGlobal) {
            switch (tag) {
                case kReportSize:
                    globals.reportSize = value;
                    break;
                case kReportCount:
                    globals.reportCount = value;
                    break;
                case kReportId:
                    if (value == 0 || value > 255) return std::nullopt;
                    globals.reportId = value;
                    numbered = true;
                    break;
                case kPush:
                    if (depth == stack.size()) return std::nullopt;
                    stack[depth++] = globals;
                    break;
                case kPop:
                    if (depth == 0) return std::nullopt;
                    globals = stack[--depth];
                    break;
                default:  // usage page, logical and physical ranges, units
                    break;
            }
        }
        // Local and reserved items name usages and designators; they size nothing.
    }
    if (openCollections != 0) return std::nullopt;

    const std::optional<std::uint16_t> in = input.length();
    const std::optional<std::uint16_t> out = output.length();
    if (!in || !out) return std::nullopt;
    ReportLayout layout;
    layout.lengths.InputReportByteLength = *in;
    layout.lengths.OutputReportByteLength = *out;
    layout.numbered = numbered;
    return layout;
}

std::optional<HidCaps> reportLengthsFromDescriptor(std::span<const std::uint8_t> descriptor) {
    const std::optional<ReportLayout> layout = parseReportLayout(descriptor);
    if (!layout) return std::nullopt;
    return layout->lengths;
}

}  // namespace kavo3::link
