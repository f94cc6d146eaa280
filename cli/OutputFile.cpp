#include "cli/OutputFile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/ArgumentPath.h"
#include "cli/ExitCodes.h"
#include "files/WholeFile.h"

namespace kavo3::cli {

namespace {

namespace fs = std::filesystem;

bool endsInSeparator(const std::string& name) {
#ifdef _WIN32
    return !name.empty() && (name.back() == '/' || name.back() == '\\' || name.back() == ':');
#else
    return !name.empty() && name.back() == '/';
#endif
}

}  // namespace

int checkOutputFile(const std::string& given, const std::string& target, const char* example) {
    const fs::path path = argumentPath(given);
    std::error_code error;
    const fs::path name = path.filename();
    if (given.empty() || endsInSeparator(given) || name == "." || name == ".." ||
        fs::is_directory(path, error)) {
        std::fprintf(stderr,
                     "kavo3cli: %s is a folder, not a file name; name the file to write in it, "
                     "for example %s\n",
                     given.c_str(),
                     (given.empty() ? fs::path(example) : path / example).string().c_str());
        return kExitUsage;
    }
    const fs::path folder = argumentPath(target).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, error)) {
        std::fprintf(stderr,
                     "kavo3cli: cannot write %s: the folder %s does not exist; nothing was sent "
                     "to the unit.\n",
                     target.c_str(), folder.string().c_str());
        return kExitFailure;
    }
    // A device node, a FIFO or a socket would be replaced by a plain file behind its back.
    const fs::file_status existing = fs::status(argumentPath(target), error);
    if (fs::exists(existing) && !fs::is_regular_file(existing) && !fs::is_directory(existing)) {
        std::fprintf(stderr,
                     "kavo3cli: %s is not a regular file (a device, a FIFO or a socket); name a "
                     "file to write; nothing was sent to the unit.\n",
                     target.c_str());
        return kExitUsage;
    }
    if (fs::is_directory(argumentPath(target), error)) {
        std::fprintf(stderr,
                     "kavo3cli: cannot write %s: a folder of that name is in the way; nothing "
                     "was sent to the unit.\n",
                     target.c_str());
        return kExitFailure;
    }
    if (!files::wholeFileWritable(argumentPath(target))) {
        std::fprintf(stderr,
                     "kavo3cli: cannot write %s: its folder takes no new file and no file there "
                     "may be written over; nothing was sent to the unit.\n",
                     target.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace kavo3::cli
