// The main window `Form1`: the connection check at load, the status line, and the four
// buttons that lead to everything else that talks to the unit. It hears units arrive and
// leave: a unit arriving while it is not connected runs the check again, and the unit it talks
// to leaving shows as not connected.
#pragma once

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "link/DeviceEvents.h"
#include "ui/ProgramState.h"

namespace kavo3::ui {
class DeviceWatch;
}

namespace kavo3::app {

inline constexpr const char* kConnectedText = "ＫＡＶＯ－３  Ｃｏｎｎｅｃｔ";
inline constexpr const char* kNotConnectedText = "ＫＡＶＯ－３　No　Ｃｏｎｎｅｃｔ";

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(ui::ProgramState& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's load handling: runs the connection check once, before the window is shown.
    void load();
    // The connection check; shows its outcome and enables or disables the buttons. Runs at
    // load, and again when a unit arrives while the window is not connected.
    void connectUnit();
    bool connected() const { return connected_; }

    // Hears the arrivals and departures that `watch` reports.
    void listenTo(ui::DeviceWatch& watch);
    // A device that may be a unit arrived: while not connected, the check runs again; while a
    // download or another check runs, once it has ended.
    void deviceArrived(const link::DeviceEvent& event);
    // The unit the link talks to left: the not-connected text and the four buttons off.
    void deviceLeft(const link::DeviceEvent& event);

    // What each button does; the windows of the program are attached by the program's setup.
    std::function<void()> showTimingWindow;
    std::function<void()> showRemoteWindow;
    std::function<void()> showCaptureWindow;
    std::function<void()> startRomDownload;
    // What the program has to say of its choice of unit after each check (a named unit that
    // is missing, other units attached), shown in the status line's tool tip.
    std::function<std::string()> unitNotice;

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
    // Holds the four buttons off while a download runs, and gives them back; they are on only
    // while the unit is connected.
    void setUnitButtonsEnabled(bool enabled);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void showButtons();
    // Tells the notice of other units anew, without a check (the unit list only).
    void refreshUnitNotice();
    void runOwedCheck();
    // The link's word on what keeps the unit from being used, and the notice on the choice of
    // unit, as the status line's tool tip.
    void showUnitProblem(const std::string& problem);

    ui::ProgramState& session_;
    bool loaded_ = false;
    bool connected_ = false;
    bool buttonsHeldOff_ = false;  // a download runs
    bool checking_ = false;
    bool checkOwed_ = false;  // a unit arrived while the check could not run
    std::vector<link::DeviceEvent> leftDuringCheck_;
    std::string unitNotice_;  // of the latest check
    std::string settledNotice_;  // a unit an earlier program left halfway, settled since
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
