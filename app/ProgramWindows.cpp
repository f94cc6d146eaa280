#include "app/ProgramWindows.h"

#include "app/MainWindow.h"

#include "timing/TimingWindow.h"
#include "remote/RemoteWindow.h"
#include "capture/CaptureWindow.h"
#include "download/RomDownloader.h"

namespace kavo3::app {

ProgramWindows::ProgramWindows(ui::ProgramState& session, MainWindow& mainWindow)
    : session_(session), mainWindow_(mainWindow) {
    mainWindow.showTimingWindow = [this] { showTimingWindow(); };
    mainWindow.showRemoteWindow = [this] { showRemoteWindow(); };
    mainWindow.showCaptureWindow = [this] { showCaptureWindow(); };
    mainWindow.startRomDownload = [this] { startRomDownload(); };

    downloader_ = std::make_unique<download::RomDownloader>(
        session_, [this](const QString& text) { mainWindow_.setStatusText(text); }, &mainWindow_);
    downloader_->showProgress = [this](const QString& text) { mainWindow_.setProgressText(text); };
    // Nothing else may reach the unit while a download runs: a command between its write
    // start and its last data report would land in the flash.
    downloader_->onRunning = [this](bool running) {
        mainWindow_.setUnitButtonsEnabled(!running);
        for (QWidget* w : {timing_.data(), remote_.data(), capture_.data()})
            if (w) w->setEnabled(!running);
    };
}

ProgramWindows::~ProgramWindows() {
    // Windows still open go with the program without their closing handling.
    for (QWidget* w : {timing_.data(), remote_.data(), capture_.data()}) {
        if (w) {
            w->setAttribute(Qt::WA_DeleteOnClose, false);
            delete w;
        }
    }
}

QWidget* ProgramWindows::timingWindow() const { return timing_; }
QWidget* ProgramWindows::remoteWindow() const { return remote_; }
QWidget* ProgramWindows::captureWindow() const { return capture_; }

namespace {
const char* const kShown = "kavo3Shown";
}  // namespace

bool ProgramWindows::closed(QWidget* window) {
    // Shown once and hidden again: it was closed and is only waiting to be deleted.
    return window->property(kShown).toBool() && window->isHidden();
}

void ProgramWindows::bringUp(QWidget* window) {
    window->setProperty(kShown, true);
    window->show();
    window->raise();
    window->activateWindow();
}

void ProgramWindows::showTimingWindow() {
    // A closed window must not come back: a sequence it ran would lose it on deletion.
    if (timing_ && closed(timing_)) timing_ = nullptr;
    if (!timing_) {
        if (!timingState_) timingState_ = std::make_unique<timing::TimingState>();
        auto* window = new timing::TimingWindow(session_, *timingState_);
        timing_ = window;
        window->load();
        if (!timing_ || closed(timing_)) return;
    }
    bringUp(timing_);
}

void ProgramWindows::showRemoteWindow() {
    if (remote_ && closed(remote_)) remote_ = nullptr;
    if (!remote_) {
        auto* window = new remote::RemoteWindow(session_);
        window->setAttribute(Qt::WA_DeleteOnClose);
        remote_ = window;
    }
    bringUp(remote_);
}

void ProgramWindows::showCaptureWindow() {
    if (capture_ && closed(capture_)) capture_ = nullptr;
    if (!capture_) {
        if (!captureState_) captureState_ = std::make_unique<capture::CaptureState>();
        auto* window = new capture::CaptureWindow(session_, *captureState_);
        capture_ = window;
        window->load();
        if (!capture_ || closed(capture_)) return;
    }
    bringUp(capture_);
}

void ProgramWindows::startRomDownload() {
    downloader_->StartAddress = download::RomDownloader::kMainWindowStartAddress;
    downloader_->download();
}

}  // namespace kavo3::app
