#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <memory>
#include <optional>

#include "capture/CaptureWindow.h"
#include "capture/PictureBox.h"
#include "link/DeviceLink.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimTransport.h"
#include "ui/Design.h"
#include "ui/DocumentsFolder.h"

// Readable failure output for texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kavo3::capture {
namespace {

using namespace std::chrono_literals;
using link::testing::RecordingTransport;

constexpr std::uint8_t kFrameInformation = 20;
constexpr std::uint8_t kLineData = 21;
constexpr std::uint8_t kFreeze = 22;

const QString kReady = QStringLiteral(
    "KAVO-3 Capture 準備完了\nキャプチャー操作中は本体やリモコンのボタンを操作しないでください。");
const QString kWrongSetting = QStringLiteral(
    "KAVO-3 FPGA SELECTをB2にしてください。 \nKAVO-3と本アプリを再スタートしてください。");
const QString kRejected = QStringLiteral("入力映像が無いか、不適切です。");
const QString kSaveFailed = QStringLiteral("BMPファイルを保存できませんでした。");

struct DialogCall {
    QString title;
    QString startPath;
    QString filter;
};

class CaptureWindowTest : public ::testing::Test {
  protected:
    void start(sim::SimOptions options = {}, std::chrono::milliseconds readWait = 20ms) {
        transport_.emplace(options);
        recorder_ = std::make_unique<RecordingTransport>(*transport_);
        link_ = std::make_unique<link::DeviceLink>(*recorder_, readWait);
        session_.emplace(ui::ProgramState{*link_, clock_, {}, [this] { ended_ = true; }});
        ASSERT_TRUE(link_->OpenDevice());
    }

    // Constructs, loads and shows the window as the main window does.
    CaptureWindow* open() {
        window_ = new CaptureWindow(*session_, state_);
        window_->chooseFile = [this](QWidget*, const QString& title, const QString& start,
                                     const QString& filter) {
            dialogCalls_.push_back({title, start, filter});
            return nextChoice_;
        };
        window_->load();
        window_->show();
        return window_;
    }

    void TearDown() override {
        if (window_) window_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(ended_);
    }

    QAbstractButton* button(int n) const {
        auto* b = window_->findChild<QAbstractButton*>(QStringLiteral("Command%1").arg(n));
        EXPECT_NE(b, nullptr) << n;
        return b;
    }
    // "YYNNY": which of Command1..Command5 are enabled.
    std::string enabledButtons() const {
        std::string s;
        for (int n = 1; n <= 5; ++n) s += button(n)->isEnabled() ? 'Y' : 'N';
        return s;
    }
    QString text() const {
        return window_->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText();
    }
    PictureBox* picture() const {
        return window_->findChild<PictureBox*>(QStringLiteral("Picture1"));
    }

    sim::SimulatedUnit& unit() { return transport_->unit(); }

    // The unit's frame as the capture must store it: blue, green, red, the first `lines`
    // lines, rounding columns and lines not received black.
    std::vector<std::uint8_t> expectedPixels(int activeWidth, int frameWidth, int frameHeight,
                                             int lines) {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(frameWidth) * frameHeight * 3, 0);
        for (int y = 0; y < lines; ++y)
            for (int x = 0; x < activeWidth; ++x) {
                const auto rgb = unit().pixelRGB(x, y);
                const auto at = (static_cast<std::size_t>(y) * frameWidth + x) * 3;
                out[at] = rgb[2];
                out[at + 1] = rgb[1];
                out[at + 2] = rgb[0];
            }
        return out;
    }

    // Index of the first differing byte, or -1.
    static long firstDifference(const std::vector<std::uint8_t>& a,
                                const std::vector<std::uint8_t>& b) {
        if (a.size() != b.size()) return 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i]) return static_cast<long>(i);
        return -1;
    }

    long countOf(std::uint8_t code) const {
        long n = 0;
        for (const auto& c : recorder_->commands) n += c[0] == code;
        return n;
    }

    std::optional<sim::SimTransport> transport_;
    std::unique_ptr<RecordingTransport> recorder_;
    std::unique_ptr<link::DeviceLink> link_;
    ui::SettleClock clock_;
    std::optional<ui::ProgramState> session_;
    bool ended_ = false;
    CaptureState state_;
    QPointer<CaptureWindow> window_;
    std::vector<DialogCall> dialogCalls_;
    QString nextChoice_;
};

TEST_F(CaptureWindowTest, DesignOfTheWindow) {
    start();
    open();
    EXPECT_EQ(window_->objectName(), "Form5");
    EXPECT_EQ(window_->windowTitle(), "KAVO-3 Capture Tool");
    EXPECT_EQ(window_->size(), QSize(ui::twips(8505), ui::twips(6240)));
    EXPECT_TRUE(window_->testAttribute(Qt::WA_DeleteOnClose));

    const QStringList captions{"静止", "キャプチャー", "停止", "BMP保存", "終了"};
    const QList<QRect> places{
        ui::twipsRect(360, 4560, 1215, 855), ui::twipsRect(2040, 4560, 1215, 855),
        ui::twipsRect(3720, 4560, 1095, 855), ui::twipsRect(5280, 4560, 1095, 855),
        ui::twipsRect(6840, 4560, 1095, 855)};
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(button(n)->text(), captions[n - 1]) << n;
        EXPECT_EQ(button(n)->geometry(), places[n - 1]) << n;
        EXPECT_EQ(button(n)->iconSize(), QSize(64, 32)) << n;
        EXPECT_FALSE(button(n)->icon().isNull()) << n;
    }
    // Five different pictures.
    for (int a = 1; a <= 5; ++a)
        for (int b = a + 1; b <= 5; ++b)
            EXPECT_NE(button(a)->icon().pixmap(64, 32).toImage(),
                      button(b)->icon().pixmap(64, 32).toImage())
                << a << " " << b;

    auto* text1 = window_->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    ASSERT_NE(text1, nullptr);
    EXPECT_EQ(text1->geometry(), ui::twipsRect(480, 5520, 7455, 615));
    EXPECT_EQ(text1->font().family(), QString::fromUtf8(ui::kDesignFontFamily));
    EXPECT_EQ(text1->font().pointSizeF(), 12.0);
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(picture()->geometry(), ui::twipsRect(240, 0, 8000, 4500));
}

TEST_F(CaptureWindowTest, LoadInTheCaptureSetting) {
    start();
    state_.FreezeOn = 1;  // left from an earlier opening
    open();
    EXPECT_EQ(text(), kReady);
    EXPECT_EQ(enabledButtons(), "YYYNY");
    EXPECT_EQ(state_.FreezeOn, 0);
    EXPECT_EQ(button(1)->text(), "静止");
    ASSERT_EQ(recorder_->commands.size(), 1u);
    EXPECT_EQ(recorder_->commands[0][0], kFrameInformation);
    EXPECT_FALSE(unit().frozen());  // resetting FreezeOn sends nothing
}

TEST_F(CaptureWindowTest, LoadInAnotherSettingOrWithoutAnswer) {
    sim::SimOptions other;
    other.fpgaSelect = 1;
    start(other);
    open();
    EXPECT_EQ(text(), kWrongSetting);
    EXPECT_EQ(enabledButtons(), "NNNNY");
    window_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(window_.isNull());

    sim::SimOptions silent;
    silent.noAnswer = true;
    start(silent);
    open();
    EXPECT_EQ(text(), kWrongSetting);
    EXPECT_EQ(enabledButtons(), "NNNNY");
}

TEST_F(CaptureWindowTest, FreezeToggle) {
    start();
    open();
    recorder_->commands.clear();
    button(1)->click();
    EXPECT_EQ(button(1)->text(), "静止中");
    EXPECT_EQ(state_.FreezeOn, 1);
    EXPECT_TRUE(unit().frozen());
    button(1)->click();
    EXPECT_EQ(button(1)->text(), "静止");
    EXPECT_EQ(state_.FreezeOn, 0);
    EXPECT_FALSE(unit().frozen());
    ASSERT_EQ(recorder_->commands.size(), 2u);
    EXPECT_EQ(recorder_->commands[0][0], kFreeze);
    EXPECT_EQ(recorder_->commands[0][1], 1);
    EXPECT_EQ(recorder_->commands[1][0], kFreeze);
    EXPECT_EQ(recorder_->commands[1][1], 0);
    EXPECT_EQ(recorder_->reads, 3);  // the load's answer and one per freeze command
}

TEST_F(CaptureWindowTest, FullCaptureWhileLive) {
    start();
    open();
    recorder_->commands.clear();
    recorder_->reads = 0;
    std::string duringCapture;
    recorder_->afterWrite = [&](const RecordingTransport::Command& c) {
        if (c[0] == kLineData && duringCapture.empty()) {
            duringCapture = enabledButtons();
            EXPECT_TRUE(window_->capturing());
            EXPECT_TRUE(unit().frozen());
            EXPECT_EQ(button(1)->text(), "静止中");
        }
    };
    button(2)->click();

    EXPECT_EQ(duringCapture, "NNYNN");
    EXPECT_EQ(enabledButtons(), "YYYYY");
    EXPECT_FALSE(window_->capturing());
    EXPECT_EQ(text(), QStringLiteral("画面情報：水平SIZE= 720dot , 垂直SIZE= 480dot , RGB　24bit"));

    // Freeze 1, Frame information, 480 lines of 36 reports, Freeze back to 0.
    const auto& cmds = recorder_->commands;
    ASSERT_EQ(cmds.size(), 2u + 480 + 1);
    EXPECT_EQ(cmds[0][0], kFreeze);
    EXPECT_EQ(cmds[0][1], 1);
    EXPECT_EQ(cmds[1][0], kFrameInformation);
    for (std::size_t i = 2; i < 482; ++i) {
        ASSERT_EQ(cmds[i][0], kLineData) << i;
        ASSERT_EQ(cmds[i][1], 36) << i;
    }
    EXPECT_EQ(cmds.back()[0], kFreeze);
    EXPECT_EQ(cmds.back()[1], 0);
    EXPECT_EQ(recorder_->reads, 1 + 1 + 480 * 36 + 1);
    EXPECT_FALSE(unit().frozen());
    EXPECT_EQ(state_.FreezeOn, 0);
    EXPECT_EQ(button(1)->text(), "静止");

    EXPECT_EQ(state_.frame.FrameWidth, 720);
    EXPECT_EQ(state_.frame.FrameHeight, 480);
    EXPECT_EQ(firstDifference(state_.frame.PixelBuffer, expectedPixels(720, 720, 480, 480)), -1);

    // The box keeps the frame's proportions at the design height, centred.
    EXPECT_EQ(picture()->geometry(), ui::twipsRect(865, 0, 6750, 4500));
    const QImage shown = picture()->picture();
    ASSERT_EQ(shown.size(), QSize(720, 480));
    for (const QPoint p : {QPoint(0, 0), QPoint(719, 0), QPoint(5, 100), QPoint(719, 479)}) {
        const auto rgb = unit().pixelRGB(p.x(), p.y());
        EXPECT_EQ(shown.pixel(p), qRgb(rgb[0], rgb[1], rgb[2])) << p.x() << "," << p.y();
    }
}

TEST_F(CaptureWindowTest, TheBoxShowsTheNearestFramePixelWithoutGaps) {
    start();
    open();
    button(2)->click();
    const QImage frame = picture()->picture();
    const QImage full = picture()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(full.size(), QSize(450, 300));

    // Each pixel of the box shows a frame pixel at (or next to) its own place.
    const double sx = 720.0 / 450, sy = 480.0 / 300;
    for (int py = 0; py < full.height(); py += 7)
        for (int px = 0; px < full.width(); px += 5) {
            const int fx = static_cast<int>((px + 0.5) * sx);
            const int fy = static_cast<int>((py + 0.5) * sy);
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    const QPoint f(std::clamp(fx + dx, 0, 719), std::clamp(fy + dy, 0, 479));
                    found = full.pixel(px, py) == frame.pixel(f);
                }
            ASSERT_TRUE(found) << px << "," << py;
        }

    // Repainting one line's strip alone paints it as the whole picture does, and nothing else.
    QImage strip(full.size(), QImage::Format_RGB32);
    strip.fill(Qt::magenta);
    const QRect lines(0, 150, 450, 2);
    picture()->render(&strip, lines.topLeft(), QRegion(lines));
    for (int py = 148; py < 154; ++py)
        for (int px = 0; px < 450; ++px) {
            if (lines.contains(px, py))
                ASSERT_EQ(strip.pixel(px, py), full.pixel(px, py)) << px << "," << py;
            else
                ASSERT_EQ(strip.pixel(px, py), QColor(Qt::magenta).rgb()) << px << "," << py;
        }
}

TEST_F(CaptureWindowTest, CaptureWhileFrozenStaysFrozen) {
    start();
    open();
    button(1)->click();
    recorder_->commands.clear();
    button(2)->click();
    EXPECT_TRUE(unit().frozen());
    EXPECT_EQ(state_.FreezeOn, 1);
    EXPECT_EQ(button(1)->text(), "静止中");
    EXPECT_EQ(recorder_->commands.front()[0], kFreeze);
    EXPECT_EQ(recorder_->commands.front()[1], 1);
    EXPECT_EQ(recorder_->commands.back()[0], kFreeze);
    EXPECT_EQ(recorder_->commands.back()[1], 1);
}

TEST_F(CaptureWindowTest, StopAtLineKLeavesTheLowerLinesBlack) {
    start();
    open();
    constexpr int kLastLine = 100;
    int linesRequested = 0;
    recorder_->afterWrite = [&](const RecordingTransport::Command& c) {
        if (c[0] == kLineData && linesRequested++ == kLastLine) button(3)->click();
    };
    button(2)->click();

    EXPECT_EQ(countOf(kLineData), kLastLine + 1);
    EXPECT_EQ(enabledButtons(), "YYYYY");
    EXPECT_FALSE(unit().frozen());
    EXPECT_EQ(recorder_->commands.back()[0], kFreeze);
    EXPECT_EQ(recorder_->commands.back()[1], 0);
    EXPECT_EQ(button(1)->text(), "静止");
    // A stopped capture says nothing more; the size text stays.
    EXPECT_TRUE(text().startsWith(QStringLiteral("画面情報：")));
    EXPECT_EQ(
        firstDifference(state_.frame.PixelBuffer, expectedPixels(720, 720, 480, kLastLine + 1)),
        -1);
    // Lines not received are not drawn.
    EXPECT_NE(picture()->picture().pixel(3, kLastLine), picture()->background().rgb());
    EXPECT_EQ(picture()->picture().pixel(3, kLastLine + 1), picture()->background().rgb());

    // The next capture starts afresh and runs to the end.
    recorder_->afterWrite = nullptr;
    recorder_->commands.clear();
    button(2)->click();
    EXPECT_EQ(countOf(kLineData), 480);
}

TEST_F(CaptureWindowTest, StopClickedFromTheEventLoopWhileFrozen) {
    start();
    open();
    button(1)->click();
    QTimer::singleShot(0, button(3), &QAbstractButton::click);
    button(2)->click();
    EXPECT_GE(countOf(kLineData), 1);
    EXPECT_LT(countOf(kLineData), 480);
    EXPECT_TRUE(unit().frozen());
    EXPECT_EQ(button(1)->text(), "静止中");
    EXPECT_EQ(enabledButtons(), "YYYYY");
}

// The unit leaves after line 10 of the frame: the load, Freeze, Frame information and ten Line
// data requests reach it. With the product's read wait, a read that waited for it would count.
constexpr int kLinesBeforeUnplug = 10;
sim::SimOptions leavingAfterLine10() {
    sim::SimOptions o;
    o.unplugAfter = 3 + kLinesBeforeUnplug;
    return o;
}

TEST_F(CaptureWindowTest, AUnitThatLeavesMidFrameEndsTheCaptureWithoutAWaitOrARestore) {
    start(leavingAfterLine10(), link::DeviceLink::kReadWait);
    open();
    const auto begin = std::chrono::steady_clock::now();
    button(2)->click();

    EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);  // a wait per read: hours
    EXPECT_EQ(recorder_->timeouts, 0);
    EXPECT_FALSE(link_->DeviceFound());
    EXPECT_EQ(enabledButtons(), "YYYYY");
    EXPECT_EQ(button(1)->text(), "静止");
    EXPECT_EQ(state_.FreezeOn, 0);
    // The request for line 10 found the unit gone; nothing later was sent, not even the
    // freeze restore, and nothing waited for it.
    EXPECT_EQ(countOf(kLineData), kLinesBeforeUnplug + 1);
    EXPECT_EQ(recorder_->commands.back()[0], kLineData);
    EXPECT_EQ(unit().reportsIn(), 3 + kLinesBeforeUnplug);
    // The lines read are no frame: nothing is kept to save.
    EXPECT_TRUE(state_.frame.empty());
}

TEST_F(CaptureWindowTest, StopWhileTheUnitIsGoneEndsTheCaptureAfterThatLine) {
    start(leavingAfterLine10(), link::DeviceLink::kReadWait);
    open();
    // Clicked from the event loop, as a user does, once the capture has found the unit gone.
    std::optional<std::chrono::steady_clock::time_point> clicked;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (clicked || link_->DeviceFound()) return;
        clicked = std::chrono::steady_clock::now();
        button(3)->click();
    });
    stopper.start(0);
    button(2)->click();
    stopper.stop();

    ASSERT_TRUE(clicked);
    EXPECT_LT(std::chrono::steady_clock::now() - *clicked, 1s);
    EXPECT_EQ(recorder_->timeouts, 0);
    EXPECT_EQ(enabledButtons(), "YYYYY");
    // Lines after the one in which the stop was seen are not drawn.
    int drawn = 0;
    while (drawn < 480 && picture()->picture().pixel(3, drawn) != picture()->background().rgb())
        ++drawn;
    EXPECT_GT(drawn, kLinesBeforeUnplug);
    EXPECT_LT(drawn, kLinesBeforeUnplug + 5);
}

TEST_F(CaptureWindowTest, RoundedUpColumnsAreBlack) {
    sim::SimOptions options;
    options.width = 718;  // the unit sends a never-black filler past its picture
    start(options);
    open();
    button(2)->click();
    EXPECT_EQ(state_.frame.FrameWidth, 720);
    EXPECT_EQ(firstDifference(state_.frame.PixelBuffer, expectedPixels(718, 720, 480, 480)), -1);
    EXPECT_EQ(recorder_->commands[3][1], 36);
}

TEST_F(CaptureWindowTest, WideFlatFrameOverhangsTheDesignArea) {
    sim::SimOptions options;
    options.width = 640;
    options.height = 240;
    start(options);
    open();
    button(2)->click();
    // 640 × 4500 / 240 = 12000 twips wide, centred: from −1760.
    EXPECT_EQ(picture()->geometry(), ui::twipsRect(-1760, 0, 12000, 4500));
    EXPECT_EQ(picture()->picture().size(), QSize(640, 240));
}

TEST_F(CaptureWindowTest, RejectedFrameKeepsThePreviousOne) {
    sim::SimOptions options;
    start(options);
    open();
    button(2)->click();
    const Frame accepted = state_.frame;
    const QImage shown = picture()->picture();
    const QRect place = picture()->geometry();

    struct Answer {
        int horizontal, vertical, input;
    };
    for (const Answer answer : {Answer{1985 - 7, 470, 1}, Answer{713, 90, 1}, Answer{713, 470, 0},
                                Answer{0xFFFF, 0xFFFF, 1}}) {
        const int horizontal = answer.horizontal;
        // The same unit answers Frame information with other values from now on.
        recorder_->afterRead = [&, answer](std::span<std::uint8_t> r) {
            if (recorder_->commands.back()[0] != kFrameInformation) return;
            r[1] = answer.horizontal & 0xFF;
            r[2] = (answer.horizontal >> 8) & 0xFF;
            r[3] = answer.vertical & 0xFF;
            r[4] = (answer.vertical >> 8) & 0xFF;
            r[6] = static_cast<std::uint8_t>(answer.input);
        };
        recorder_->commands.clear();
        button(2)->click();
        EXPECT_EQ(text(), kRejected) << horizontal;
        EXPECT_EQ(countOf(kLineData), 0) << horizontal;
        EXPECT_EQ(enabledButtons(), "YYYYY") << horizontal;
        EXPECT_FALSE(unit().frozen()) << horizontal;
        EXPECT_EQ(recorder_->commands.back()[0], kFreeze);
        EXPECT_EQ(recorder_->commands.back()[1], 0);
        // The frame to save keeps its own sizes; the sizes of the answer are kept apart.
        EXPECT_EQ(state_.frame.FrameWidth, 720);
        EXPECT_EQ(state_.frame.FrameHeight, 480);
        EXPECT_EQ(state_.frame.PixelBuffer, accepted.PixelBuffer);
        EXPECT_EQ(picture()->picture(), shown);
        EXPECT_EQ(picture()->geometry(), place);
    }
    EXPECT_EQ(state_.sizes.FrameHeight, 0xFFFF + 10);
}

TEST_F(CaptureWindowTest, SaveWritesTheFrameAsABitmap) {
    start();
    open();
    button(2)->click();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    nextChoice_ = dir.filePath(QStringLiteral("a.b.c"));
    button(4)->click();
    ASSERT_EQ(dialogCalls_.size(), 1u);
    EXPECT_EQ(dialogCalls_[0].title, QStringLiteral("ファイルを保存"));
    EXPECT_EQ(dialogCalls_[0].filter, QStringLiteral("24ﾋﾞｯﾄ ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)"));
    EXPECT_EQ(dialogCalls_[0].startPath, ui::documentsFolder());

    const QString written = dir.filePath(QStringLiteral("a.b.bmp"));
    EXPECT_EQ(session_->ChosenFileName, written);
    EXPECT_FALSE(QFile::exists(nextChoice_));
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 1036854);
    EXPECT_EQ(qFromLittleEndian<qint32>(bytes.constData() + 22), -480);
    const auto topLeft = unit().pixelRGB(0, 0);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[54]), topLeft[2]);  // blue first

    const QImage image(written);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(720, 480));
    for (const QPoint p : {QPoint(0, 0), QPoint(719, 0), QPoint(0, 479), QPoint(360, 240)}) {
        const auto rgb = unit().pixelRGB(p.x(), p.y());
        EXPECT_EQ(image.pixel(p), qRgb(rgb[0], rgb[1], rgb[2])) << p.x() << "," << p.y();
    }
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
              picture()->picture().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(text(), QStringLiteral("画面情報：水平SIZE= 720dot , 垂直SIZE= 480dot , RGB　24bit"));

    // The name field shows the previous choice; a cancel writes nothing.
    nextChoice_.clear();
    button(4)->click();
    ASSERT_EQ(dialogCalls_.size(), 2u);
    EXPECT_EQ(dialogCalls_[1].startPath, dir.filePath(QStringLiteral("a.b.c")));
    EXPECT_EQ(session_->ChosenFileName, written);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.b.bmp"});
}

TEST_F(CaptureWindowTest, SaveToAJapanesePath) {
    start();
    open();
    button(2)->click();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("キャプチャー.画像")));
    nextChoice_ = dir.filePath(QStringLiteral("キャプチャー.画像/静止画"));
    button(4)->click();
    const QString written = dir.filePath(QStringLiteral("キャプチャー.画像/静止画.bmp"));
    EXPECT_EQ(session_->ChosenFileName, written);
    EXPECT_EQ(QImage(written).size(), QSize(720, 480));
}

TEST_F(CaptureWindowTest, FailedSaveSaysSo) {
    start();
    open();
    button(2)->click();
    QTemporaryDir dir;
    nextChoice_ = dir.filePath(QStringLiteral("no-such-folder/frame.bmp"));
    button(4)->click();
    EXPECT_EQ(text(), kSaveFailed);
    EXPECT_FALSE(QFile::exists(nextChoice_));
}

TEST_F(CaptureWindowTest, NothingToSaveBeforeAnAcceptedFrame) {
    sim::SimOptions options;
    options.input = false;
    start(options);
    open();
    button(2)->click();
    EXPECT_EQ(text(), kRejected);
    EXPECT_EQ(enabledButtons(), "YYYYY");
    QTemporaryDir dir;
    nextChoice_ = dir.filePath(QStringLiteral("frame.bmp"));
    button(4)->click();
    EXPECT_EQ(text(), QStringLiteral("保存する画像がありません。"));
    EXPECT_TRUE(dialogCalls_.empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(session_->ChosenFileName.isEmpty());
}

TEST_F(CaptureWindowTest, SaveAfterARejectedCaptureWritesTheLastAcceptedFrame) {
    start();
    open();
    button(2)->click();
    recorder_->afterRead = [&](std::span<std::uint8_t> r) {
        if (recorder_->commands.back()[0] != kFrameInformation) return;
        r[3] = 80;  // 90 lines
        r[4] = 0;
    };
    button(2)->click();
    ASSERT_EQ(text(), kRejected);
    QTemporaryDir dir;
    nextChoice_ = dir.filePath(QStringLiteral("frame.bmp"));
    button(4)->click();
    const QImage image(nextChoice_);
    EXPECT_EQ(image.size(), QSize(720, 480));
    QFile file(nextChoice_);
    EXPECT_EQ(file.size(), 1036854);
}

TEST_F(CaptureWindowTest, CloseBoxDuringACaptureWaitsForTheCaptureToEnd) {
    start();
    open();
    int linesRequested = 0;
    bool closedAtOnce = true;
    recorder_->afterWrite = [&](const RecordingTransport::Command& c) {
        if (c[0] == kLineData && linesRequested++ == 10) closedAtOnce = window_->close();
    };
    button(2)->click();
    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(countOf(kLineData), 11);
    // The freeze was restored before the window went.
    EXPECT_EQ(recorder_->commands.back()[0], kFreeze);
    EXPECT_EQ(recorder_->commands.back()[1], 0);
    EXPECT_FALSE(unit().frozen());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window_.isNull());
    // The part that arrived stays for saving.
    EXPECT_EQ(firstDifference(state_.frame.PixelBuffer, expectedPixels(720, 720, 480, 11)), -1);
}

TEST_F(CaptureWindowTest, WindowDestroyedDuringACaptureStillRestoresTheFreeze) {
    start();
    open();
    int linesRequested = 0;
    recorder_->afterWrite = [&](const RecordingTransport::Command& c) {
        if (c[0] == kLineData && linesRequested++ == 20) {
            // Destroyed from outside while the capture lets events run.
            QTimer::singleShot(0, [this] { delete window_.data(); });
        }
    };
    button(2)->click();
    EXPECT_TRUE(window_.isNull());
    EXPECT_EQ(countOf(kLineData), 21);
    EXPECT_EQ(recorder_->commands.back()[0], kFreeze);
    EXPECT_EQ(recorder_->commands.back()[1], 0);
    EXPECT_FALSE(unit().frozen());
    EXPECT_EQ(state_.FreezeOn, 0);
}

TEST_F(CaptureWindowTest, FrameSurvivesReopeningFreezeDoesNot) {
    start();
    open();
    button(1)->click();
    button(2)->click();
    const auto captured = state_.frame.PixelBuffer;
    button(5)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(window_.isNull());
    EXPECT_TRUE(unit().frozen());  // closing sends nothing

    recorder_->commands.clear();
    open();
    EXPECT_EQ(state_.FreezeOn, 0);
    EXPECT_EQ(button(1)->text(), "静止");
    EXPECT_EQ(recorder_->codes(), std::vector<std::uint8_t>{kFrameInformation});
    EXPECT_EQ(state_.frame.PixelBuffer, captured);
    EXPECT_EQ(enabledButtons(), "YYYNY");
}

}  // namespace
}  // namespace kavo3::capture

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
