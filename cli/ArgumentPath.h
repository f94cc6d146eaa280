// A file name from the command line as a path. kavo3cli's arguments are UTF-8 (on Windows its
// manifest makes them so), but std::filesystem reads a plain string in the C library's
// locale, which on Windows is never UTF-8 and would turn every Japanese name into another.
#pragma once

#include <filesystem>
#include <string>

namespace kavo3::cli {

inline std::filesystem::path argumentPath(const std::string& argument) {
    return std::filesystem::path(std::u8string(argument.begin(), argument.end()));
}

}  // namespace kavo3::cli
