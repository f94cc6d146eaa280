// The timing window Form6: fourteen sliders that mirror the unit's timing registers and write
// every change back at once, and the buttons that save and load the register image.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "link/Conversation.h"
#include "timing/TimingState.h"
#include "ui/ProgramState.h"

class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kavo3::timing {

class TimingWindow : public QWidget {
    Q_OBJECT
  public:
    struct FileDialogRequest {
        enum class Kind { Save, Open };
        Kind kind;
        QString title;
        QString folder;
        QString fileName;  // preset in the name box; may be empty
    };
    // Shows a file dialog; the chosen path, or an empty string when the user cancelled.
    using FileChooser = std::function<QString(const FileDialogRequest&)>;

    TimingWindow(ui::ProgramState& session, TimingState& state, QWidget* parent = nullptr);

    // Reads the unit's timing block and sets the sliders from it. The main window calls it
    // once, before showing the window.
    void load();

    // Sets every slider from the image; only sliders whose value changes run their handler.
    void RefreshTimingSliders();

    // The buttons "data save" and "data load".
    void dataSave();
    void dataLoad();

    // Replaceable so that tests choose a path or a cancel without a dialog.
    FileChooser chooseFile;
    // Tells the user that a save or a load failed; a message box unless replaced.
    std::function<void(const QString& text)> showMessage;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    struct ParameterControls {
        QLabel* label = nullptr;
        QScrollBar* slider = nullptr;
        QLineEdit* text = nullptr;
        // The slider stands at its end for a value beyond its range, shown in the text box.
        bool pinned = false;
    };

    void buildControls();
    void parameterChanged(std::size_t index, int value);
    void showOutOfRange(std::size_t index, int value);
    QString showFileDialog(const FileDialogRequest& request);
    void endOfSequence();
    // Enables the sliders that can write to the unit, and says in the title when none can
    // because the registers were not read from the unit attached now.
    bool showReachability();

    ui::ProgramState& session_;
    TimingState& state_;
    // The attachment the window opened on; it writes to no other.
    std::optional<link::Conversation> talk_;
    bool readWhole_ = false;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    std::array<ParameterControls, 14> parameters_{};
    QPushButton* Command1 = nullptr;  // "data save"
    QPushButton* Command2 = nullptr;  // "data load"

    // The name the file dialog shows next; the one dialog of this window remembers it.
    QString dialogFileName_;
    // Sequences that let window events run; a close asked for meanwhile waits for them.
    int busy_ = 0;
    bool closePending_ = false;
};

}  // namespace kavo3::timing
