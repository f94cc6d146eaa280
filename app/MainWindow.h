// The main window `Form1`: the connection check at load, the status line, and the four
// buttons that lead to everything else that talks to the unit.
#pragma once

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/Session.h"

namespace kavo3::app {

inline constexpr const char* kConnectedText = "ＫＡＶＯ－３  Ｃｏｎｎｅｃｔ";
inline constexpr const char* kNotConnectedText = "ＫＡＶＯ－３　No　Ｃｏｎｎｅｃｔ";

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(ui::Session& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's load handling: runs the connection check once, before the window is shown.
    void load();
    // The one-time connection check; shows its outcome and enables or disables the buttons.
    void connectUnit();

    // What each button does; the windows of the program are attached by the program's setup.
    std::function<void()> showTimingWindow;
    std::function<void()> showRemoteWindow;
    std::function<void()> showCaptureWindow;
    std::function<void()> startRomDownload;

    QLineEdit* statusLine() const { return Text1; }
    // Replaces the status text.
    void setStatusText(const QString& text);
    // Replaces the status text with a progress text that may change once per report. The line
    // takes the latest one at most once per kProgressInterval: laying out and painting a text
    // costs more than sending a report, and nobody reads a counter faster than that.
    void setProgressText(const QString& text);
    static constexpr int kProgressInterval = 100;  // ms
    // The latest text, also while the line still waits for it.
    QString statusText() const;
    // Enables or disables the four buttons that talk to the unit.
    void setUnitButtonsEnabled(bool enabled);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // The link's word on what keeps the unit from being used, as the status line's tool tip.
    void showUnitProblem(const std::string& problem);

    ui::Session& session_;
    bool loaded_ = false;
    QString pendingProgress_;
    QTimer progressPacer_;
    QElapsedTimer sinceProgressShown_;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command10;
    QPushButton* Command3;
};

}  // namespace kavo3::app
