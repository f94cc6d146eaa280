#include "capture/CaptureWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>
#include <QToolButton>
#include <cmath>

#include "capture/BitmapFile.h"
#include "capture/ButtonPictures.h"
#include "capture/CaptureSequence.h"
#include "capture/CaptureTexts.h"
#include "capture/PictureBox.h"
#include "ui/Design.h"
#include "ui/DocumentsFolder.h"
#include "ui/FilesystemPath.h"

namespace kavo3::capture {

namespace {

// The picture box's design area, in twips.
constexpr int kPictureLeft = 240;
constexpr int kPictureWidth = 8000;
constexpr int kPictureHeight = 4500;

const QString kCaptionFreeze = QStringLiteral("静止");
const QString kCaptionFrozen = QStringLiteral("静止中");

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QToolButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QPixmap& picture, int left, int width) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setIcon(QIcon(picture));
    b->setIconSize(QSize(kButtonPictureWidth, kButtonPictureHeight));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFont(ui::designFont(9));
    ui::placeInTwips(b, left, 4560, width, 855);
    return b;
}

}  // namespace

CaptureWindow::CaptureWindow(ui::ProgramState& session, CaptureState& state, QWidget* parent)
    : QWidget(parent),
      chooseFile(&CaptureWindow::realChooseFile),
      session_(session),
      state_(state) {
    setObjectName(QStringLiteral("Form5"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("KAVO-3 Capture Tool"));
    setFont(ui::designFont(9));
    setFixedSize(ui::twips(8505), ui::twips(6240));

    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    ui::placeInTwips(Picture1, kPictureLeft, 0, kPictureWidth, kPictureHeight);

    Command1 = makeButton(this, "Command1", kCaptionFreeze, pausePicture(), 360, 1215);
    Command2 =
        makeButton(this, "Command2", QStringLiteral("キャプチャー"), cameraPicture(), 2040, 1215);
    Command3 = makeButton(this, "Command3", QStringLiteral("停止"), crossPicture(), 3720, 1095);
    Command4 =
        makeButton(this, "Command4", QStringLiteral("BMP保存"), saveToDiskPicture(), 5280, 1095);
    Command5 = makeButton(this, "Command5", QStringLiteral("終了"), exitPicture(), 6840, 1095);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(ui::designFont(12));
    // Two lines fill the box; like the design's text box it shows no scroll bar.
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Text1->document()->setDocumentMargin(2);
    ui::placeInTwips(Text1, 480, 5520, 7455, 615);

    connect(Command1, &QToolButton::clicked, this, &CaptureWindow::toggleFreeze);
    connect(Command2, &QToolButton::clicked, this, &CaptureWindow::captureFrame);
    connect(Command3, &QToolButton::clicked, this, &CaptureWindow::requestStop);
    connect(Command4, &QToolButton::clicked, this, &CaptureWindow::saveBitmap);
    connect(Command5, &QToolButton::clicked, this, &CaptureWindow::close);
}

QString CaptureWindow::realChooseFile(QWidget* parent, const QString& title,
                                      const QString& startPath, const QString& filter) {
    // Replacing an existing file without asking is how the save has always behaved.
    return QFileDialog::getSaveFileName(parent, title, startPath, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void CaptureWindow::load() {
    state_.FreezeOn = 0;
    Command4->setEnabled(false);

    link::Conversation talk(session_.link);
    if (unitInCaptureSetting(talk)) {
        showText(text(kReadyText));
    } else {
        Command1->setEnabled(false);
        Command2->setEnabled(false);
        Command3->setEnabled(false);
        Command4->setEnabled(false);
        showText(text(kWrongSettingText));
    }
}

void CaptureWindow::toggleFreeze() {
    state_.FreezeOn = state_.FreezeOn == 1 ? 0 : 1;
    showFreezeCaption();
    link::Conversation talk(session_.link);
    sendFreeze(talk, state_.FreezeOn);
}

void CaptureWindow::showFreezeCaption() {
    Command1->setText(state_.FreezeOn == 1 ? kCaptionFrozen : kCaptionFreeze);
}

void CaptureWindow::captureFrame() {
    if (capturing_) return;
    capturing_ = true;
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    Command4->setEnabled(false);
    Command5->setEnabled(false);

    // The state outlives this window; `this` may not, once events have run.
    CaptureState& state = state_;
    const QPointer<CaptureWindow> alive(this);
    const std::int16_t savedFreeze = state_.FreezeOn;
    state_.StopRequested = 0;
    state_.FreezeOn = 1;
    showFreezeCaption();

    Frame captured;
    CaptureCallbacks callbacks;
    callbacks.frameInformation = [this, &state](const FrameSizes& sizes) {
        state.sizes = sizes;
        if (!sizes.accepted()) {
            // The previous frame stays as it was, both on screen and for saving.
            showText(text(kRejectedText));
            return;
        }
        placePicture(sizes);
        showText(QString::fromStdString(sizeText(sizes)));
    };
    callbacks.lines.lineDone = [this, &alive, &captured](std::int32_t y) {
        Picture1->drawLine(y, captured.row(y));
        // Lets the stop button, a close and the repaint through.
        QCoreApplication::processEvents();
        return !alive.isNull();
    };
    callbacks.lines.stopRequested = [&state] { return state.StopRequested == 1; };
    callbacks.beforeRestore = [this, &state, savedFreeze](const CaptureResult& result) {
        if (result.end == LinesEnd::UnitLost || result.end == LinesEnd::Silent)
            showText(text(kUnitLostText));
        Command1->setEnabled(true);
        Command2->setEnabled(true);
        Command4->setEnabled(true);
        Command5->setEnabled(true);
        state.FreezeOn = savedFreeze;
        showFreezeCaption();
    };

    link::Conversation talk(session_.link);
    const CaptureResult result = capture::captureFrame(talk, savedFreeze, captured, callbacks);
    // Lines of a unit that left, came back or fell silent are not a frame to save.
    if (result.end == LinesEnd::UnitLost || result.end == LinesEnd::Silent)
        state.frame = Frame();
    else if (result.accepted)
        state.frame = std::move(captured);
    if (result.end == LinesEnd::Abandoned) {
        // The window went while events ran; the unit got its freeze state back all the same.
        state.FreezeOn = savedFreeze;
        return;
    }

    capturing_ = false;
    if (closePending_) close();
}

void CaptureWindow::placePicture(const FrameSizes& sizes) {
    // Keep the frame's proportions at the design height, centred over the design area.
    const int width = static_cast<int>(
        std::lround(static_cast<double>(sizes.FrameWidth) * kPictureHeight / sizes.FrameHeight));
    const int left = (kPictureWidth - width) / 2 + kPictureLeft;
    ui::placeInTwips(Picture1, left, 0, width, kPictureHeight);
    Picture1->clear(sizes.FrameWidth, sizes.FrameHeight);
}

void CaptureWindow::requestStop() { state_.StopRequested = 1; }

void CaptureWindow::saveBitmap() {
    // Before any frame was accepted there is nothing to write; after a rejected one the
    // last accepted frame is written with its own sizes.
    if (state_.frame.empty()) {
        showText(text(kNoFrameText));
        return;
    }

    const QString documents = ui::documentsFolder();
    const QString start = previousChoice_.isEmpty() ? documents : previousChoice_;
    const QString chosen = chooseFile(this, QStringLiteral("ファイルを保存"), start,
                                      QStringLiteral("24ﾋﾞｯﾄ ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)"));
    if (chosen.isEmpty()) return;
    previousChoice_ = chosen;

    const QString finalPath = QString::fromStdString(finalBitmapPath(chosen.toStdString()));
    session_.ChosenFileName = finalPath;
    if (!WriteBitmapFile(ui::toFilesystemPath(finalPath), state_.frame))
        showText(text(kSaveFailedText));
}

void CaptureWindow::showText(const QString& text) {
    // The messages carry Windows line breaks; the box wants one break per line.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text1->setPlainText(lines);
}

void CaptureWindow::closeEvent(QCloseEvent* event) {
    if (capturing_) {
        closePending_ = true;
        state_.StopRequested = 1;
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace kavo3::capture
