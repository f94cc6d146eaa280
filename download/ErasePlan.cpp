#include "download/ErasePlan.h"

namespace kavo3::download {

std::uint32_t cappedLength(std::uint64_t fileLength) {
    return fileLength >= kMaxDownloadBytes ? kMaxDownloadBytes
                                           : static_cast<std::uint32_t>(fileLength);
}

std::uint32_t paddedLength(std::uint32_t length) {
    return (length + kDataReportBytes - 1) / kDataReportBytes * kDataReportBytes;
}

ErasePlan erasePlan(std::uint32_t n) {
    if (n == 0) return {};
    const std::uint32_t large = (n - 1) / kLargeBlockBytes;
    const std::uint32_t small =
        (n - kLargeBlockBytes * large + kSmallBlockBytes - 1) / kSmallBlockBytes;
    return {large, small};
}

std::uint32_t eraseAlignment(std::uint32_t paddedLength) {
    return erasePlan(paddedLength).large > 0 ? kLargeBlockBytes : kSmallBlockBytes;
}

}  // namespace kavo3::download
