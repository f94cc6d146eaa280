// Numbers on the command line: decimal, or hexadecimal with 0x; sizes also with K or M
// (KiB, MiB).
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>
#include <string_view>

namespace kavo3::cli {

inline std::optional<std::uint32_t> parseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A size: a number, or a decimal number followed by K, KiB, M or MiB (64K, 1M); nothing
// that does not fit in 32 bits.
inline std::optional<std::uint32_t> parseSize(std::string_view text) {
    std::uint64_t unit = 1;
    for (const auto& [suffix, bytes] : {std::pair<std::string_view, std::uint64_t>{"KiB", 1024},
                                        {"K", 1024}, {"k", 1024}, {"MiB", 1024 * 1024},
                                        {"M", 1024 * 1024}}) {
        if (text.size() > suffix.size() && text.ends_with(suffix) &&
            !(text.starts_with("0x") || text.starts_with("0X"))) {
            text.remove_suffix(suffix.size());
            unit = bytes;
            break;
        }
    }
    const auto number = parseNumber(text);
    if (!number || std::uint64_t{*number} * unit > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(*number * unit);
}

}  // namespace kavo3::cli
