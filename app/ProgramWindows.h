// The windows that the main window opens, and the state of each that lives for the run.
// Each window is created and loaded on first use and shown again while it is open.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "ui/ProgramState.h"

namespace kavo3::timing {
class TimingWindow;
struct TimingState;
}  // namespace kavo3::timing
namespace kavo3::remote {
class RemoteWindow;
}
namespace kavo3::capture {
class CaptureWindow;
struct CaptureState;
}  // namespace kavo3::capture
namespace kavo3::download {
class RomDownloader;
}

namespace kavo3::app {

class MainWindow;

class ProgramWindows : public QObject {
    Q_OBJECT
public:
    ProgramWindows(ui::ProgramState& session, MainWindow& mainWindow);
    ~ProgramWindows() override;

    void showTimingWindow();
    void showRemoteWindow();
    void showCaptureWindow();
    void startRomDownload();

    // The open windows, null while closed; for tests.
    QWidget* timingWindow() const;
    QWidget* remoteWindow() const;
    QWidget* captureWindow() const;
    // The ROM download behind the main window's Command10.
    download::RomDownloader& downloader() { return *downloader_; }

private:
    static void bringUp(QWidget* window);
    static bool closed(QWidget* window);

    ui::ProgramState& session_;
    MainWindow& mainWindow_;
    QPointer<QWidget> timing_;
    QPointer<QWidget> remote_;
    QPointer<QWidget> capture_;
    std::unique_ptr<timing::TimingState> timingState_;
    std::unique_ptr<capture::CaptureState> captureState_;
    std::unique_ptr<download::RomDownloader> downloader_;
};

}  // namespace kavo3::app
