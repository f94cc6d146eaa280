#include "download/RomDownloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

#include "download/DownloadHooks.h"
#include "download/StatusTexts.h"

namespace kavo3::download {

namespace {

const QString kDialogTitle = QStringLiteral("ファイルを開く");

QString showOpenDialog(QWidget* parent, const QString& title, const QString& folder) {
    // No file-type filter: any file can be downloaded.
    return QFileDialog::getOpenFileName(parent, title, folder);
}

// Clears the running state however the run ends.
class RunningScope {
  public:
    RunningScope(bool& flag, const std::function<void(bool)>& onRunning)
        : flag_(flag), onRunning_(onRunning) {
        flag_ = true;
    }
    ~RunningScope() {
        if (notified_ && onRunning_) onRunning_(false);
        flag_ = false;
    }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

    void notify() {
        notified_ = true;
        if (onRunning_) onRunning_(true);
    }

  private:
    bool& flag_;
    const std::function<void(bool)>& onRunning_;
    bool notified_ = false;
};

}  // namespace

QString downloadStartFolder(const QString& home) {
#ifdef Q_OS_WIN
    Q_UNUSED(home);
    return QStringLiteral("d:\\kavo3");
#else
    const QString folder = QDir(home).filePath(QStringLiteral("kavo3"));
    return QFileInfo(folder).isDir() ? folder : home;
#endif
}

RomDownloader::RomDownloader(ui::ProgramState& session, std::function<void(const QString&)> showStatus,
                             QWidget* dialogParent, std::chrono::milliseconds checksumWait)
    : chooseFile(showOpenDialog),
      session_(session),
      showStatus_(std::move(showStatus)),
      dialogParent_(dialogParent),
      checksumWait_(checksumWait) {}

void RomDownloader::download() {
    if (running_) return;
    RunningScope scope(running_, onRunning);

    // The run keeps its own copy: another window's dialog may change ChosenFileName while
    // the run lets events through, and the verify must reopen the file that was written.
    const QString path =
        chooseFile(dialogParent_, kDialogTitle, downloadStartFolder(QDir::homePath()));
    if (path.isEmpty()) return;
    session_.ChosenFileName = path;
    scope.notify();

    DownloadView view;
    view.status = [this](const std::string& text) {
        showStatus_(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    };
    const auto& progressShown = showProgress ? showProgress : showStatus_;
    view.progress = [&progressShown](std::uint32_t offset) {
        const std::string text = progressText(offset);
        progressShown(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    };
    DownloadPace pace;
    pace.processEvents = [] { QCoreApplication::processEvents(); };
    pace.settleWait = [this](int ticks) { session_.clock.settleWait(ticks); };
    // The program is ending: the rest of the data phase goes out as erased bytes.
    pace.stopRequested = [this] { return session_.stopRequested; };

    DownloadSequence run(session_.link, downloadCallbacks(std::move(view), std::move(pace)),
                         checksumWait_);
    lastResult_ =
        run.run(static_cast<std::uint32_t>(StartAddress), QFileInfo(path).filesystemFilePath());
}

}  // namespace kavo3::download
