// What the user meant by a subcommand or option kavo3cli does not know: "did you mean
// download?", from the names it has and the words other flashing tools use for them.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace kavo3::cli {

// The name among `names` closest to `typed` (at most a third of its letters apart), or empty.
std::string closestName(const std::string& typed, const std::vector<std::string>& names);

// After a failed parse of `argv`: one line saying which subcommand or option was not known and
// what was probably meant; empty when every word was known.
std::string didYouMean(const CLI::App& app, int argc, char** argv);

}  // namespace kavo3::cli
