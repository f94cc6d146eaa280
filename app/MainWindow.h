// The main window `Form1`: the connection check at load, the status line, and the four
// buttons that lead to everything else that talks to the unit.
#pragma once

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "app/Session.h"

namespace kavo3::app {

inline constexpr const char* kConnectedText = "ＫＡＶＯ－３  Ｃｏｎｎｅｃｔ";
inline constexpr const char* kNotConnectedText = "ＫＡＶＯ－３　No　Ｃｏｎｎｅｃｔ";

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(Session& session, QWidget* parent = nullptr);

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
    // Replaces the status text at once; the screen follows at most once per kRepaintInterval,
    // so that a text per data report does not cost a repaint per report.
    void setStatusText(const QString& text);
    static constexpr int kRepaintInterval = 16;  // ms, a screen's pace
    // Enables or disables the four buttons that talk to the unit.
    void setUnitButtonsEnabled(bool enabled);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Session& session_;
    bool loaded_ = false;
    bool repaintDue_ = false;
    QElapsedTimer sinceRepaint_;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command10;
    QPushButton* Command3;
};

}  // namespace kavo3::app
