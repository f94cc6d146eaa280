// kavo3cli timing show FILE and timing diff A B: timing data files read offline, as a load
// would read them, with no unit needed.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/ArgumentPath.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/Output.h"
#include "timing/TimingFileIo.h"
#include "timing/TimingParameters.h"

namespace kavo3::cli {

namespace {

using timing::kTimingParameters;

// The image a load of `file` would give; says why on standard error when it is refused.
std::optional<timing::TimingImage> readImage(const std::string& file) {
    const timing::TimingFileData data = timing::loadTimingFile(argumentPath(file));
    const char* why = nullptr;
    switch (data.error) {
        case timing::TimingFileError::None: {
            timing::TimingImage image{};
            timing::applyTimingFile(data, image);
            return image;
        }
        case timing::TimingFileError::CannotOpen:
            why = "cannot be opened or read";
            break;
        case timing::TimingFileError::TooShort:
            why = "shorter than 256 bytes, so not a timing data file";
            break;
        case timing::TimingFileError::ValueOutOfRange:
            why = "holds a 16-bit value above 4095, which no unit takes";
            break;
    }
    std::fprintf(stderr, "kavo3cli: %s: %s\n", file.c_str(), why);
    return std::nullopt;
}

}  // namespace

int showTimingFile(const std::string& file) {
    const auto image = readImage(file);
    if (!image) return kExitRefusedFile;
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    for (const auto& p : kTimingParameters) {
        result("%-12s %d\n", p.name, p.valueIn(*image));
        parameters[p.name] = p.valueIn(*image);
    }
    report()["file"] = file;
    report()["parameters"] = std::move(parameters);
    return kExitOk;
}

int diffTimingFiles(const std::string& first, const std::string& second) {
    const auto a = readImage(first);
    const auto b = readImage(second);
    if (!a || !b) return kExitRefusedFile;
    nlohmann::ordered_json differences = nlohmann::ordered_json::array();
    for (const auto& p : kTimingParameters) {
        const int before = p.valueIn(*a), after = p.valueIn(*b);
        if (before == after) continue;
        result("%-12s %d -> %d\n", p.name, before, after);
        differences.push_back({{"name", p.name}, {"a", before}, {"b", after}});
    }
    const bool same = differences.empty();
    if (same)
        note("the fourteen values of %s and %s are the same\n", first.c_str(), second.c_str());
    report()["files"] = {first, second};
    report()["differences"] = std::move(differences);
    report()["verdict"] = same ? "same" : "differ";
    return same ? kExitOk : kExitChecksumMismatch;
}

}  // namespace kavo3::cli
