// The ROM download behind the main window's "kavo cmd　load" button: asks for a file and
// runs the download with its progress in the main window's status line.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "download/ErasePlan.h"
#include "download/DownloadSequence.h"
#include "ui/ProgramState.h"

class QWidget;

namespace kavo3::download {

// Where the file dialog opens: d:\kavo3 on Windows; elsewhere `home`/kavo3 when it exists,
// else `home`.
QString downloadStartFolder(const QString& home);

class RomDownloader {
  public:
    // Returns the chosen path, or an empty string for a cancel.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& title, const QString& folder)>;

    static constexpr std::int32_t kMainWindowStartAddress = kDownloadAddress;
    // `showStatus` replaces the text of the main window's status line; every text of the run
    // goes through it, one per data report too, so it must be cheap.
    RomDownloader(ui::ProgramState& session, std::function<void(const QString&)> showStatus,
                  QWidget* dialogParent,
                  std::chrono::milliseconds checksumWait = DownloadSequence::kChecksumWait);

    // Asks for a file and downloads it at StartAddress. Does nothing while a run is going on.
    void download();

    bool running() const { return running_; }
    // The outcome of the latest run that got past the file choice.
    const std::optional<DownloadResult>& lastResult() const { return lastResult_; }

    // Flash address of the next download; the main window sets it right before download().
    std::int32_t StartAddress = kMainWindowStartAddress;

    // The file dialog; tests replace it.
    FileChooser chooseFile;

    // Called with true once a file is chosen and with false when its run has ended. The main
    // window disables whatever could send a command meanwhile.
    std::function<void(bool running)> onRunning;
    // Shows the offset text of each data report; showStatus when not set.
    std::function<void(const QString&)> showProgress;

  private:
    ui::ProgramState& session_;
    std::function<void(const QString&)> showStatus_;
    QWidget* dialogParent_;
    std::chrono::milliseconds checksumWait_;
    bool running_ = false;
    std::optional<DownloadResult> lastResult_;
};

}  // namespace kavo3::download
