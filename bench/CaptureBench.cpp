// Host time of a whole capture with drawing, against the simulated unit answering at once.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>

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

    const long before = transport.reportsRead();
    for (auto _ : state) command2->click();
    state.counters["reports/capture"] = static_cast<double>(transport.reportsRead() - before) /
                                        static_cast<double>(state.iterations());

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(captureFrame)
    ->Args({720, 480})
    ->Args({1920, 1080})
    ->Args({1984, 1299})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
