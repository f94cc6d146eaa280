#include "timing/TimingWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <optional>

#include "timing/TimingFileIo.h"
#include "timing/TimingParameters.h"
#include "timing/TimingSequence.h"
#include "ui/Design.h"
#include "ui/DocumentsFolder.h"
#include "ui/FilesystemPath.h"

namespace kavo3::timing {

namespace {

const char* const kSaveTitle = "KAVO-3 入出力映像タイミングDataを保存";
const char* const kLoadTitle = "KAVO-3 入出力映像タイミングDataを読込";
const char* const kSavePreset = "kavo3_syc*.bin";
// A failure must not pass for a success.
const char* const kSaveFailedText = "タイミングデータを保存できませんでした。";
const char* const kLoadRefusedText = "タイミングデータを読み込めませんでした。";
const char* const kCaption = "入出力映像信号調整";
// Added to the caption while the sliders cannot write: the unit was away or silent when the
// window opened, or it has left or come back since.
const char* const kNotReadCaption =
    "入出力映像信号調整 － 本体から読み込めていません。開き直してください";

struct FrameDesign {
    const char* name;
    const char* caption;
    int left, top, width, height;
    std::array<int, 4> rowTops;
};

constexpr std::array<FrameDesign, 4> kFrames{{
    {"Frame1", "入力信号タイミング", 120, 120, 3855, 2295, {360, 840, 1320, 1800}},
    {"Frame2", "入力信号Clamp", 4320, 240, 3735, 1455, {240, 720, 0, 0}},
    {"Frame3", "出力同期タイミング", 4320, 1920, 3855, 2295, {360, 840, 1320, 1800}},
    {"Frame4", "出力信号タイミング", 120, 2520, 3855, 2295, {360, 840, 1320, 1800}},
}};

constexpr int kRowHeight = 375;
constexpr int kLabelLeft = 60;
constexpr int kWideSliderLeft = 720, kWideSliderWidth = 2175;
constexpr int kNarrowSliderLeft = 1440, kNarrowSliderWidth = 1455;
constexpr int kTextLeft = 3000, kTextWidth = 615;

// Keeps a sequence that lets window events run marked as running, and carries out a close
// that was asked for in the meantime once the outermost sequence is over.
class BusyScope {
  public:
    BusyScope(int& busy, std::function<void()> atEnd) : busy_(busy), atEnd_(std::move(atEnd)) {
        ++busy_;
    }
    ~BusyScope() {
        if (--busy_ == 0) atEnd_();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    int& busy_;
    std::function<void()> atEnd_;
};

}  // namespace

TimingWindow::TimingWindow(ui::ProgramState& session, TimingState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), state_(state) {
    setObjectName("Form6");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(ui::designFont(9));
    setFixedSize(ui::twips(8280), ui::twips(5100));
    buildControls();
    chooseFile = [this](const FileDialogRequest& r) { return showFileDialog(r); };
    showMessage = [this](const QString& text) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
        box.exec();
    };
}

void TimingWindow::buildControls() {
    std::array<QGroupBox*, 4> frames{};
    for (std::size_t g = 0; g < kFrames.size(); ++g) {
        const auto& f = kFrames[g];
        frames[g] = new QGroupBox(QString::fromUtf8(f.caption), this);
        frames[g]->setObjectName(f.name);
        ui::placeInTwips(frames[g], f.left, f.top, f.width, f.height);
    }
    Frame1 = frames[0];
    Frame2 = frames[1];
    Frame3 = frames[2];
    Frame4 = frames[3];

    for (std::size_t i = 0; i < kTimingParameters.size(); ++i) {
        const auto& p = kTimingParameters[i];
        auto* frame = frames[static_cast<std::size_t>(p.group)];
        const int top = kFrames[static_cast<std::size_t>(p.group)].rowTops[p.row];
        const int sliderLeft = p.wide() ? kWideSliderLeft : kNarrowSliderLeft;
        const int sliderWidth = p.wide() ? kWideSliderWidth : kNarrowSliderWidth;
        auto& c = parameters_[i];

        c.label = new QLabel(QString::fromUtf8(p.caption), frame);
        c.label->setObjectName(QString::fromUtf8(p.name) + "_label");
        ui::placeInTwips(c.label, kLabelLeft, top, sliderLeft - kLabelLeft, kRowHeight);

        c.slider = new QScrollBar(Qt::Horizontal, frame);
        c.slider->setObjectName(QString::fromUtf8(p.name));
        // Otherwise a screen reader names every slider after its group box.
        c.slider->setAccessibleName(QString::fromUtf8(p.name));
        c.slider->setRange(0, p.maximum);
        c.slider->setSingleStep(1);
        c.slider->setPageStep(1);
        // A drag writes once, where the user lets go, not every position passed on the way.
        c.slider->setTracking(false);
        ui::placeInTwips(c.slider, sliderLeft, top, sliderWidth, kRowHeight);
        connect(c.slider, &QScrollBar::valueChanged, this,
                [this, i](int value) { parameterChanged(i, value); });

        c.text = new QLineEdit(QStringLiteral("000"), frame);
        c.text->setObjectName(QString::fromUtf8(p.name) + "_txt");
        c.text->setAccessibleName(QString::fromUtf8(p.name) + " value");
        ui::placeInTwips(c.text, kTextLeft, top, kTextWidth, kRowHeight);
    }

    Command1 = new QPushButton(QStringLiteral("data save"), this);
    Command1->setObjectName("Command1");
    ui::placeInTwips(Command1, 4440, 4440, 1695, 495);
    connect(Command1, &QPushButton::clicked, this, &TimingWindow::dataSave);

    Command2 = new QPushButton(QStringLiteral("data load"), this);
    Command2->setObjectName("Command2");
    ui::placeInTwips(Command2, 6480, 4440, 1695, 495);
    connect(Command2, &QPushButton::clicked, this, &TimingWindow::dataLoad);
}

void TimingWindow::load() {
    BusyScope busy(busy_, [this] { endOfSequence(); });
    talk_.emplace(session_.link);
    readWhole_ =
        openTiming(*talk_, state_, [this](int ticks) { session_.clock.settleWait(ticks); });
    showReachability();
    RefreshTimingSliders();
}

bool TimingWindow::showReachability() {
    const bool reachable = talk_ && imageFrom(*talk_, state_);
    for (std::size_t i = 0; i < kTimingParameters.size(); ++i)
        parameters_[i].slider->setEnabled(reachable &&
                                          state_.windowRead(kTimingParameters[i].lowByte));
    setWindowTitle(QString::fromUtf8(reachable && readWhole_ ? kCaption : kNotReadCaption));
    return reachable;
}

void TimingWindow::RefreshTimingSliders() {
    for (const std::size_t i : kRefreshOrder) {
        const auto& p = kTimingParameters[i];
        // A slider without a whole read window has no value to show; it keeps "000".
        if (!state_.windowRead(p.lowByte)) continue;
        const int value = p.valueIn(state_.TimingRegisters);
        if (value > p.maximum) {
            showOutOfRange(i, value);
            continue;
        }
        auto& c = parameters_[i];
        if (c.pinned) {
            // The slider may not move, so no handler would put the text box right.
            c.pinned = false;
            c.text->setText(QString::number(value));
        }
        c.slider->setValue(value);
    }
}

void TimingWindow::showOutOfRange(std::size_t index, int value) {
    // The slider cannot show this value. It stands at its end without running its handler,
    // which would otherwise write the end value to the unit; the text box tells the truth.
    auto& c = parameters_[index];
    const QSignalBlocker block(c.slider);
    c.slider->setValue(c.slider->maximum());
    c.text->setText(QString::number(value));
    c.pinned = true;
}

void TimingWindow::parameterChanged(std::size_t index, int value) {
    const auto& p = kTimingParameters[index];
    if (!showReachability() || !state_.windowRead(p.lowByte)) {
        // Nothing not read from the unit attached now may be written to it: the slider goes
        // back to what the image holds, and the caption says why.
        const QSignalBlocker block(parameters_[index].slider);
        parameters_[index].slider->setValue(std::min(p.valueIn(state_.TimingRegisters), p.maximum));
        return;
    }
    parameters_[index].pinned = false;
    parameters_[index].text->setText(QString::number(value));
    changeParameter(*talk_, state_, p, value);
}

void TimingWindow::dataSave() {
    BusyScope busy(busy_, [this] { endOfSequence(); });
    dialogFileName_ = QString::fromUtf8(kSavePreset);
    const QString name = chooseFile({FileDialogRequest::Kind::Save, QString::fromUtf8(kSaveTitle),
                                     ui::documentsFolder(), dialogFileName_});
    session_.ChosenFileName = name;
    if (name.isEmpty()) return;
    dialogFileName_ = name;
    if (!saveTimingFile(ui::toFilesystemPath(name), state_.TimingRegisters))
        showMessage(QString::fromUtf8(kSaveFailedText));
}

void TimingWindow::dataLoad() {
    BusyScope busy(busy_, [this] { endOfSequence(); });
    const QString name = chooseFile({FileDialogRequest::Kind::Open, QString::fromUtf8(kLoadTitle),
                                     ui::documentsFolder(), dialogFileName_});
    session_.ChosenFileName = name;
    if (!name.isEmpty()) {
        dialogFileName_ = name;
        const TimingFileData data = loadTimingFile(ui::toFilesystemPath(name));
        // A file that fails its checks changes nothing, here or in the unit.
        if (data.error != TimingFileError::None) {
            showMessage(QString::fromUtf8(kLoadRefusedText));
            return;
        }
        applyTimingFile(data, state_.TimingRegisters);
    }

    // A unit that was not read from writes nothing; the image keeps the file for a save.
    if (!showReachability()) return;
    // A slider moved during a settle wait writes its own window; the load ends on its own.
    const std::optional<BlockWrite> lastWrite =
        writeLoadedWindows(*talk_, state_, [this](int ticks) { session_.clock.settleWait(ticks); });
    RefreshTimingSliders();
    if (lastWrite) writeEnd(*talk_, *lastWrite);
}

void TimingWindow::endOfSequence() {
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

void TimingWindow::closeEvent(QCloseEvent* event) {
    if (busy_ > 0) {
        // Deleting the window now would pull it from under the running sequence.
        closePending_ = true;
        event->ignore();
        return;
    }
    // The window closes now; during a download's data phase its command waits for the end.
    if (talk_) {
        session_.link.runWhenFree([talk = *talk_]() mutable { closeTiming(talk); });
    }
    event->accept();
}

QString TimingWindow::showFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(this, request.title, request.folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (request.kind == FileDialogRequest::Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace kavo3::timing
