#include "files/WholeFile.h"

#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kavo3::files {

namespace {

namespace fs = std::filesystem;

enum class Creation { Made, NameTaken, FolderRefuses, Failed };

// One open file, closed when it goes out of scope; only what a whole-file save needs.
class NativeFile {
  public:
    NativeFile() = default;
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;
    ~NativeFile() { close(); }

    Creation createNew(const fs::path& path);
    bool openExisting(const fs::path& path);
    bool write(FilePiece piece);
    // Cuts the file to `length` and waits until the bytes are on the disk.
    bool finish(std::uint64_t length);
    bool close();

  private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

#ifdef _WIN32

Creation NativeFile::createNew(const fs::path& path) {
    handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE) return Creation::Made;
    switch (GetLastError()) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Creation::NameTaken;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return Creation::FolderRefuses;
        default:
            return Creation::Failed;
    }
}

bool NativeFile::openExisting(const fs::path& path) {
    handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle_ != INVALID_HANDLE_VALUE && GetFileType(handle_) == FILE_TYPE_DISK;
}

bool NativeFile::write(FilePiece piece) {
    while (!piece.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(piece.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle_, piece.data(), chunk, &written, nullptr) || written == 0)
            return false;
        piece = piece.subspan(written);
    }
    return true;
}

bool NativeFile::finish(std::uint64_t length) {
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(handle_, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle_) &&
           FlushFileBuffers(handle_);
}

bool NativeFile::close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const bool closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
}

bool replaceFile(const fs::path& from, const fs::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool mayBeReplaced(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
}

#else

Creation NativeFile::createNew(const fs::path& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return Creation::Made;
    switch (errno) {
        case EEXIST:
            return Creation::NameTaken;
        case EACCES:
        case EPERM:
        case EROFS:
            return Creation::FolderRefuses;
        default:
            return Creation::Failed;
    }
}

bool NativeFile::openExisting(const fs::path& path) {
    // Not blocking, so that a pipe of that name is refused rather than waited on.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat status {};
    return fd_ >= 0 && ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
}

bool NativeFile::write(FilePiece piece) {
    while (!piece.empty()) {
        const ssize_t written = ::write(fd_, piece.data(), piece.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        piece = piece.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool NativeFile::finish(std::uint64_t length) {
    return ::ftruncate(fd_, static_cast<off_t>(length)) == 0 && ::fsync(fd_) == 0;
}

bool NativeFile::close() {
    if (fd_ < 0) return true;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed;
}

bool replaceFile(const fs::path& from, const fs::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// A file the user may not write is not replaced behind their back either.
bool mayBeReplaced(const fs::path& path) {
    return ::access(path.c_str(), W_OK) == 0 || errno == ENOENT;
}

#endif

// The replacement keeps the permissions of the file it replaces.
void takeModeOf(const fs::path& target, const fs::path& replacement) {
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (!error && fs::is_regular_file(status))
        fs::permissions(replacement, status.permissions(), error);
}

fs::path followLinks(fs::path path) {
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(path, error); ++hop) {
        const fs::path next = fs::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

fs::path temporaryName(const fs::path& target) {
    static thread_local std::mt19937 random{std::random_device{}()};
    std::string suffix = ".";
    for (int i = 0; i < 8; ++i) suffix += "0123456789abcdef"[random() % 16];
    suffix += ".tmp";
    fs::path name = target;
    name += suffix;
    return name;
}

bool writePieces(NativeFile& file, std::initializer_list<FilePiece> pieces) {
    for (const FilePiece piece : pieces)
        if (!file.write(piece)) return false;
    return true;
}

bool writeInPlace(const fs::path& target, std::initializer_list<FilePiece> pieces,
                  std::uint64_t length) {
    NativeFile file;
    return file.openExisting(target) && writePieces(file, pieces) && file.finish(length) &&
           file.close();
}

// Creates a file of a name of its own beside `target`, or says why it cannot.
Creation createTemporary(NativeFile& file, const fs::path& target, fs::path& temporary) {
    Creation creation = Creation::NameTaken;
    for (int attempt = 0; attempt < 64 && creation == Creation::NameTaken; ++attempt) {
        temporary = temporaryName(target);
        creation = file.createNew(temporary);
    }
    return creation;
}

}  // namespace

bool wholeFileWritable(const fs::path& path) {
    if (path.empty()) return false;
    const fs::path target = followLinks(path);
    std::error_code error;
    if (fs::is_directory(target, error) || !mayBeReplaced(target)) return false;
    NativeFile file;
    fs::path temporary;
    switch (createTemporary(file, target, temporary)) {
        case Creation::Made:
            file.close();
            fs::remove(temporary, error);
            return true;
        case Creation::FolderRefuses:
            return file.openExisting(target);
        case Creation::NameTaken:
        case Creation::Failed:
            break;
    }
    return false;
}

bool writeWholeFile(const fs::path& path, std::initializer_list<FilePiece> pieces) {
    if (path.empty()) return false;
    const fs::path target = followLinks(path);
    if (!mayBeReplaced(target)) return false;
    std::uint64_t length = 0;
    for (const FilePiece piece : pieces) length += piece.size();

    NativeFile file;
    fs::path temporary;
    const Creation creation = createTemporary(file, target, temporary);
    // A folder that takes no new file cannot hold the replacement, but the file in it may
    // still be written over.
    if (creation == Creation::FolderRefuses) return writeInPlace(target, pieces, length);
    if (creation != Creation::Made) return false;

    if (writePieces(file, pieces) && file.finish(length) && file.close()) {
        takeModeOf(target, temporary);
        if (replaceFile(temporary, target)) return true;
    }
    file.close();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
}

}  // namespace kavo3::files
