// Host time of a whole capture with drawing, against the simulated unit answering at once.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <chrono>

#include "app/Session.h"
#include "capture/CaptureWindow.h"
#include "link/DeviceLink.h"
#include "sim/SimTransport.h"

namespace {

using namespace kavo3;

void captureFrame(benchmark::State& state) {
    sim::SimOptions options;
    options.width = static_cast<int>(state.range(0));
    options.height = static_cast<int>(state.range(1));
    options.reportDelay = std::chrono::microseconds(state.range(2));
    sim::SimTransport transport(options);
    link::DeviceLink link(transport);
    app::SettleClock clock;
    app::Session session{link, clock, {}, [] {}};
    link.OpenDevice();
    capture::CaptureState captureState;

    QPointer<capture::CaptureWindow> window = new capture::CaptureWindow(session, captureState);
    window->load();
    window->show();
    QCoreApplication::processEvents();
    auto* command2 = window->findChild<QAbstractButton*>(QStringLiteral("Command2"));

    const long readBefore = transport.reportsRead();
    const long writtenBefore = transport.reportsWritten();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) command2->click();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    const auto iterations = static_cast<double>(state.iterations());
    const long reads = transport.reportsRead() - readBefore;
    const long writes = transport.reportsWritten() - writtenBefore;
    state.counters["reports/capture"] = static_cast<double>(reads) / iterations;
    if (options.reportDelay.count() > 0) {
        // What the host adds to the time the reports alone take on the link.
        const double linkSeconds = static_cast<double>(reads + writes) *
                                   static_cast<double>(options.reportDelay.count()) / 1e6;
        state.counters["overhead%"] = 100.0 * (elapsed.count() - linkSeconds) / linkSeconds;
    }

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
// Arguments: width, height, link time per report in microseconds.
BENCHMARK(captureFrame)
    ->Args({720, 480, 0})
    ->Args({1920, 1080, 0})
    ->Args({1984, 1299, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
// With a full-speed USB link; a capture of 720 × 480 takes about 18 s of link time.
BENCHMARK(captureFrame)
    ->Args({720, 480, sim::kFullSpeedReportTime.count()})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
