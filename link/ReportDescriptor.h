// Report lengths from a HID report descriptor, counted the way Windows counts them in
// HIDP_CAPS, so that every platform sizes the reports alike.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "link/Transport.h"

namespace kavo3::link {

struct ReportLayout {
    HidCaps lengths;
    // The descriptor declares report IDs, so every report travels with its ID byte.
    // Without them the platform may deliver input reports without one.
    bool numbered = false;
};

// Input and output report lengths: for each report ID the bits of its Input (Output) main
// items, rounded up to bytes; the largest such report plus one for the ID byte, also when
// the descriptor uses no IDs; 0 when there is no report of that kind.
//
// A malformed descriptor (an item cut off by the end, a Report ID of 0 or above 255, Push
// beyond the stack or Pop on an empty one, unbalanced collections, a report too long for a
// 16-bit length) gives nullopt: the kernel refuses such a descriptor as well, and a guess
// would size the reports wrongly. Nothing is ever read beyond the span.
std::optional<ReportLayout> parseReportLayout(std::span<const std::uint8_t> descriptor);

std::optional<HidCaps> reportLengthsFromDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace kavo3::link
