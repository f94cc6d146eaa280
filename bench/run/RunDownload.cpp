// One ROM download as the main window runs it: erase, every data report with its status
// text, and the checksum verify, from a file of random bytes.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/run/Operations.h"
#include "download/RomDownloader.h"

namespace kavo3::bench {
namespace {

class TemporaryFile {
  public:
    explicit TemporaryFile(long bytes)
        : path_(std::filesystem::temp_directory_path() /
                ("kavo3bench-rom-" + std::to_string(::getpid()) + ".bin")) {
        std::vector<char> data(static_cast<std::size_t>(bytes));
        std::mt19937 random(7);
        for (char& b : data) b = static_cast<char>(random());
        std::ofstream(path_, std::ios::binary)
            .write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    ~TemporaryFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace

bool runDownload(Rig& rig, const Arguments& arguments, Measurement& measurement,
                 std::string& problem) {
    const TemporaryFile file(arguments.bytes);
    // The downloader as the program wires it to the main window; only the dialog is replaced.
    download::RomDownloader& downloader = rig.windows.downloader();
    const QString path = QString::fromStdString(file.path().string());
    downloader.chooseFile = [&path](QWidget*, const QString&, const QString&) { return path; };

    measurement.start();
    rig.windows.startRomDownload();
    Rig::settle();
    measurement.stop();

    const auto& result = downloader.lastResult();
    if (!result || result->outcome != download::Outcome::WriteOk) {
        problem = "the download did not verify";
        return false;
    }
    if (result->length != static_cast<std::uint32_t>(arguments.bytes)) {
        problem = "the download wrote another length than the file's";
        return false;
    }
    return true;
}

}  // namespace kavo3::bench
