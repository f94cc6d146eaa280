// The capture window Form5: freezes the unit's picture, reads one frame line by line, shows it
// and saves it as a BMP file.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "capture/CaptureState.h"
#include "ui/ProgramState.h"

class QPlainTextEdit;
class QToolButton;

namespace kavo3::capture {

class PictureBox;

class CaptureWindow : public QWidget {
    Q_OBJECT
  public:
    // Asks for the path to save to; an empty string means the user cancelled.
    using ChooseFile = std::function<QString(QWidget* parent, const QString& title,
                                             const QString& startPath, const QString& filter)>;

    // Does no I/O; load() does.
    CaptureWindow(ui::ProgramState& session, CaptureState& state, QWidget* parent = nullptr);

    // Resets the freeze state and checks that the unit is set up for capturing.
    void load();

    bool capturing() const { return capturing_; }

    // The save dialog; tests replace it.
    ChooseFile chooseFile;

    static QString realChooseFile(QWidget* parent, const QString& title, const QString& startPath,
                                  const QString& filter);

  protected:
    // A close during a capture waits until the capture has ended and restored the freeze.
    void closeEvent(QCloseEvent* event) override;

  private:
    void toggleFreeze();
    void captureFrame();
    void requestStop();
    void saveBitmap();

    void placePicture(const FrameSizes& sizes);
    void showFreezeCaption();
    void showText(const QString& text);

    ui::ProgramState& session_;
    CaptureState& state_;

    PictureBox* Picture1;
    QToolButton* Command1;
    QToolButton* Command2;
    QToolButton* Command3;
    QToolButton* Command4;
    QToolButton* Command5;
    QPlainTextEdit* Text1;

    QString previousChoice_;  // the save dialog's name field
    bool capturing_ = false;
    bool closePending_ = false;
};

}  // namespace kavo3::capture
