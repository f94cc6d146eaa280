// The windows that the main window opens, and the state of each that lives for the run.
// Each window is created and loaded on first use and shown again while it is open.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/Session.h"

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
    ProgramWindows(Session& session, MainWindow& mainWindow);
    ~ProgramWindows() override;

    void showTimingWindow();
    void showRemoteWindow();
    void showCaptureWindow();
    void startRomDownload();

    // The open windows, null while closed; for tests.
    QWidget* timingWindow() const;
    QWidget* remoteWindow() const;
    QWidget* captureWindow() const;

private:
    static void bringUp(QWidget* window);

    Session& session_;
    MainWindow& mainWindow_;
    QPointer<QWidget> timing_;
    QPointer<QWidget> remote_;
    QPointer<QWidget> capture_;
#ifdef KAVO3_HAVE_TIMING
    std::unique_ptr<timing::TimingState> timingState_;
#endif
#ifdef KAVO3_HAVE_CAPTURE
    std::unique_ptr<capture::CaptureState> captureState_;
#endif
#ifdef KAVO3_HAVE_DOWNLOAD
    std::unique_ptr<download::RomDownloader> downloader_;
#endif
};

}  // namespace kavo3::app
