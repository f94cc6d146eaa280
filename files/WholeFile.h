// Saving a file so that it is either written whole or left as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>

namespace kavo3::files {

using FilePiece = std::span<const std::uint8_t>;

// Makes `pieces`, one after the other, the whole content of `path`. They go to a new file
// of a name of its own beside the target, which then takes the target's place; on any
// failure that file is removed and whatever stood at `path` is untouched. Only where the
// folder takes no new file is an existing writable target written over in place and cut to
// the new length. A symbolic link at `path` keeps pointing at the file it names.
// False when nothing was saved.
bool writeWholeFile(const std::filesystem::path& path, std::initializer_list<FilePiece> pieces);

// Whether writeWholeFile could save `path` now: its folder exists and takes a new file, or,
// where it takes none, an existing target may be written over. Leaves nothing behind, so
// that a caller can ask before it spends the unit's time on what it would then lose.
bool wholeFileWritable(const std::filesystem::path& path);

}  // namespace kavo3::files
