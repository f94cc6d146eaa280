// Host cost of a 1 MiB ROM download: 131072 data reports, each with its status text in the
// main window's status line and one pass of event processing, against the simulated unit
// answering at once.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "app/MainWindow.h"
#include "download/RomDownloader.h"
#include "sim/SimTransport.h"

namespace {

using namespace kavo3;

std::filesystem::path writeMebibyteFile() {
    const auto path = std::filesystem::temp_directory_path() / "kavo3-download-bench.bin";
    std::vector<char> bytes(0x100000);
    std::mt19937 random(7);
    for (char& b : bytes) b = static_cast<char>(random());
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

void BM_DownloadOneMebibyte(benchmark::State& state) {
    const auto file = writeMebibyteFile();
    sim::SimTransport transport;
    link::DeviceLink link(transport, std::chrono::milliseconds(20));
    app::SettleClock clock;
    app::Session session{link, clock, {}, [] {}};
    app::MainWindow window(session);
    window.load();
    window.show();
    QApplication::processEvents();

    download::RomDownloader downloader(
        session, [&](const QString& text) { window.setStatusText(text); }, &window);
    downloader.chooseFile = [&](QWidget*, const QString&, const QString&) {
        return QString::fromStdString(file.string());
    };
    for (auto _ : state) {
        downloader.download();
        if (!downloader.lastResult() ||
            downloader.lastResult()->outcome != download::Outcome::WriteOk)
            state.SkipWithError("download did not verify");
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_DownloadOneMebibyte)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
