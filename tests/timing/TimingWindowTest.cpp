#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "ui/DocumentsFolder.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimTransport.h"
#include "timing/TimingParameters.h"
#include "timing/TimingWindow.h"
#include "ui/Design.h"

namespace kavo3::timing {
namespace {

using namespace std::chrono_literals;
using Command = std::array<std::uint8_t, 8>;
using Block = std::array<std::uint8_t, kTimingBlockSize>;

constexpr std::uint8_t kBaseLow = 0x20;
constexpr std::uint8_t kBaseHigh = 0x03;

// A plausible register block: every parameter non-zero except v2pos, with a recognisable
// byte in every position that belongs to no parameter.
Block unitBlock() {
    Block b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(0xA0 + i);
    const auto set = [&](const char* name, int value) {
        for (const auto& p : kTimingParameters) {
            if (std::string(p.name) != name) continue;
            b[p.lowByte] = static_cast<std::uint8_t>(value & 0xFF);
            if (p.wide())
                b[static_cast<std::size_t>(p.highByte)] = static_cast<std::uint8_t>(value >> 8);
        }
    };
    set("h2pos", 255);
    set("v2pos", 0);
    set("h2size", 720);
    set("v2size", 480);
    set("clamp_start", 4);
    set("clamp_width", 10);
    set("hst", 858);
    set("vst", 525);
    set("hsw", 62);
    set("vsw", 6);
    set("ph1pos", 122);
    set("pv1pos", 36);
    set("ph1size", 720);
    set("pv1size", 4095);
    return b;
}

struct Harness {
    sim::SimTransport unitTransport;
    link::testing::RecordingTransport transport{unitTransport};
    link::DeviceLink link{transport, 20ms};
    ui::SettleClock clock;
    int ended = 0;
    ui::ProgramState session{link, clock, {}, [this] { ++ended; }};
    TimingState state;
    QPointer<TimingWindow> window;
    std::vector<TimingWindow::FileDialogRequest> dialogs;
    QString nextChoice;
    QStringList messages;

    explicit Harness(sim::SimOptions options = withBase(kBaseLow, kBaseHigh))
        : unitTransport(options) {
        link.OpenDevice();
    }
    ~Harness() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete window.data();
    }
    static sim::SimOptions withBase(std::uint8_t low, std::uint8_t high) {
        sim::SimOptions o;
        o.timingBaseLow = low;
        o.timingBaseHigh = high;
        return o;
    }

    sim::SimulatedUnit& unit() { return unitTransport.unit(); }
    std::uint16_t base() { return unit().timingBase(); }
    // Puts a block into the unit's registers, as far as the unit's page reaches.
    void unitHolds(const Block& block) {
        for (std::size_t i = 0; i < block.size(); ++i)
            unit().setTimingRegister(static_cast<std::uint16_t>(base() + i), block[i]);
    }
    TimingWindow& open(const Block& block = unitBlock()) {
        unitHolds(block);
        return openAsTheUnitStands();
    }
    TimingWindow& openAsTheUnitStands() {
        window = new TimingWindow(session, state);
        window->chooseFile = [this](const TimingWindow::FileDialogRequest& r) {
            dialogs.push_back(r);
            return nextChoice;
        };
        window->showMessage = [this](const QString& text) { messages << text; };
        window->load();
        window->show();
        return *window;
    }

    // Command bytes of every report sent from `from` on.
    std::vector<Command> sent(std::size_t from = 0) const {
        return {transport.commands.begin() + static_cast<std::ptrdiff_t>(from),
                transport.commands.end()};
    }
    std::size_t mark() const { return transport.commands.size(); }

    QScrollBar* slider(const char* name) const { return window->findChild<QScrollBar*>(name); }
    QString text(const char* name) const {
        return window->findChild<QLineEdit*>(QString(name) + "_txt")->text();
    }
    void click(const char* button) { window->findChild<QPushButton*>(button)->click(); }
};

Command blockWrite(std::size_t k, const TimingImage& image, std::uint8_t low = kBaseLow) {
    return {0x11,         0x00,        static_cast<std::uint8_t>(low + k),
            kBaseHigh,    image[k],    image[k + 1],
            image[k + 2], image[k + 3]};
}
Command writeEnd(Command blockWrite) {
    blockWrite[0] = 0x12;
    return blockWrite;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}
void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

const QString kSaveFailed = QString::fromUtf8("タイミングデータを保存できませんでした。");
const QString kLoadRefused = QString::fromUtf8("タイミングデータを読み込めませんでした。");

// A folder that takes no new file while a file in it stays writable. Root passes over the
// folder's permissions, so it is made immutable instead where the file system allows.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const QString& path) : path_(path) {
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::ExeOwner);
        if (takesNewFiles()) immutable_ = QProcess::execute("chattr", {"+i", path_}) == 0;
        ready_ = !takesNewFiles();
    }
    ~ReadOnlyFolder() {
        if (immutable_) QProcess::execute("chattr", {"-i", path_});
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool ready() const { return ready_; }

  private:
    bool takesNewFiles() const {
        QFile probe(path_ + "/probe");
        if (!probe.open(QIODevice::WriteOnly)) return false;
        probe.remove();
        return true;
    }
    QString path_;
    bool immutable_ = false;
    bool ready_ = false;
};

// ---- the window as the user sees it

TEST(TimingWindowDesign, CaptionSizeGroupBoxesAndButtons) {
    Harness h;
    auto& w = h.open();
    EXPECT_EQ(w.objectName(), "Form6");
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("入出力映像信号調整"));
    EXPECT_EQ(w.size(), QSize(ui::twips(8280), ui::twips(5100)));
    EXPECT_TRUE(w.testAttribute(Qt::WA_DeleteOnClose));

    const std::array<std::pair<const char*, const char*>, 4> frames{{
        {"Frame1", "入力信号タイミング"},
        {"Frame2", "入力信号Clamp"},
        {"Frame3", "出力同期タイミング"},
        {"Frame4", "出力信号タイミング"},
    }};
    for (const auto& [name, caption] : frames) {
        auto* f = w.findChild<QGroupBox*>(name);
        ASSERT_TRUE(f) << name;
        EXPECT_EQ(f->title(), QString::fromUtf8(caption)) << name;
    }
    EXPECT_EQ(w.findChild<QGroupBox*>("Frame3")->geometry(),
              ui::twipsRect(4320, 1920, 3855, 2295));
    EXPECT_EQ(w.findChild<QGroupBox*>("Frame2")->geometry(), ui::twipsRect(4320, 240, 3735, 1455));

    auto* save = w.findChild<QPushButton*>("Command1");
    auto* load = w.findChild<QPushButton*>("Command2");
    ASSERT_TRUE(save && load);
    EXPECT_EQ(save->text(), "data save");
    EXPECT_EQ(load->text(), "data load");
    EXPECT_EQ(save->geometry(), ui::twipsRect(4440, 4440, 1695, 495));
    EXPECT_EQ(load->geometry(), ui::twipsRect(6480, 4440, 1695, 495));
}

TEST(TimingWindowDesign, FourteenLabelledSlidersInTheirGroupBoxesAndRows) {
    Harness h;
    auto& w = h.open();
    const std::array<std::pair<const char*, const char*>, 14> rows{{
        {"h2pos", "Frame1"},
        {"v2pos", "Frame1"},
        {"h2size", "Frame1"},
        {"v2size", "Frame1"},
        {"clamp_start", "Frame2"},
        {"clamp_width", "Frame2"},
        {"hst", "Frame3"},
        {"vst", "Frame3"},
        {"hsw", "Frame3"},
        {"vsw", "Frame3"},
        {"ph1pos", "Frame4"},
        {"pv1pos", "Frame4"},
        {"ph1size", "Frame4"},
        {"pv1size", "Frame4"},
    }};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto [name, frame] = rows[i];
        const auto& p = kTimingParameters[i];
        auto* s = h.slider(name);
        ASSERT_TRUE(s) << name;
        EXPECT_EQ(s->parent()->objectName(), frame) << name;
        EXPECT_EQ(s->orientation(), Qt::Horizontal);
        EXPECT_EQ(s->minimum(), 0);
        EXPECT_EQ(s->maximum(), p.wide() ? 4095 : 255) << name;
        EXPECT_EQ(s->singleStep(), 1);
        EXPECT_EQ(s->pageStep(), 1);
        auto* t = w.findChild<QLineEdit*>(QString(name) + "_txt");
        ASSERT_TRUE(t) << name;
        EXPECT_EQ(t->parent(), s->parent());
        const int top = std::string(frame) == "Frame2" ? 240 + 480 * p.row : 360 + 480 * p.row;
        EXPECT_EQ(s->geometry(), p.wide() ? ui::twipsRect(720, top, 2175, 375)
                                          : ui::twipsRect(1440, top, 1455, 375))
            << name;
        EXPECT_EQ(t->geometry(), ui::twipsRect(3000, top, 615, 375)) << name;
        auto* label = w.findChild<QLabel*>(QString(name) + "_label");
        ASSERT_TRUE(label) << name;
        EXPECT_EQ(label->text(), QString::fromUtf8(p.caption));
        EXPECT_EQ(label->y(), s->y());
        EXPECT_LT(label->geometry().right(), s->x());
    }
    EXPECT_EQ(w.findChild<QLabel*>("clamp_width_label")->text(), "clamp width");
}

// ---- opening

TEST(TimingWindowOpening, ElevenExchangesReadTheBlockAndSetTheSliders) {
    Harness h;
    h.link.CommandBytes = {0, 0, 0, 0, 0x44, 0x55, 0x66, 0x77};
    h.open();

    const auto sent = h.sent();
    ASSERT_EQ(sent.size(), 11u);
    EXPECT_EQ(sent[0], (Command{0x0F, 0x01, 0, 0, 0x44, 0x55, 0x66, 0x77}));
    for (std::size_t r = 0; r < 10; ++r) {
        // Bytes 4..7 are not the block read's; they stay as the previous command left them.
        EXPECT_EQ(sent[1 + r], (Command{0x10, 0x00, static_cast<std::uint8_t>(kBaseLow + 8 * r),
                                        kBaseHigh, 0x44, 0x55, 0x66, 0x77}))
            << r;
    }
    EXPECT_EQ(h.state.TimingBaseLow, kBaseLow);
    EXPECT_EQ(h.state.TimingBaseHigh, kBaseHigh);
    const auto block = unitBlock();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), h.state.TimingRegisters.begin()));

    EXPECT_EQ(h.slider("h2pos")->value(), 255);
    EXPECT_EQ(h.text("h2pos"), "255");
    EXPECT_EQ(h.slider("hst")->value(), 858);
    EXPECT_EQ(h.text("vsw"), "6");
    EXPECT_EQ(h.text("pv1size"), "4095");
    // Nothing moved this slider, so its box keeps the design's text.
    EXPECT_EQ(h.slider("v2pos")->value(), 0);
    EXPECT_EQ(h.text("v2pos"), "000");
    EXPECT_TRUE(h.unit().timingAccessOpen());
    EXPECT_EQ(h.unit().timingCommits(), 80);  // only the test's own setting of the block
}

TEST(TimingWindowOpening, RefreshSendsNothingAndKeepsTheImage) {
    Harness h;
    auto& w = h.open();
    const auto before = h.state.TimingRegisters;
    const auto mark = h.mark();
    w.RefreshTimingSliders();
    EXPECT_TRUE(h.sent(mark).empty());
    EXPECT_EQ(h.state.TimingRegisters, before);
}

TEST(TimingWindowOpening, SilentUnitGivesBaseZeroAndAZeroBlock) {
    auto options = Harness::withBase(kBaseLow, kBaseHigh);
    options.noAnswer = true;
    Harness h(options);
    h.state.TimingRegisters.fill(0x5A);
    h.openAsTheUnitStands();
    const auto sent = h.sent();
    ASSERT_EQ(sent.size(), 11u);
    for (std::size_t r = 0; r < 10; ++r) EXPECT_EQ(sent[1 + r][2], 8 * r);
    for (std::size_t i = 0; i < 80; ++i) ASSERT_EQ(h.state.TimingRegisters[i], 0) << i;
    for (std::size_t i = 80; i < 257; ++i) ASSERT_EQ(h.state.TimingRegisters[i], 0x5A) << i;
    EXPECT_EQ(h.text("h2pos"), "000");

    // Closing always says so, also to a unit that never answered.
    const auto mark = h.mark();
    h.window->close();
    const auto end = h.sent(mark);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0][0], 0x0F);
    EXPECT_EQ(end[0][1], 0x00);
}

// ---- parameter changes

TEST(TimingWindowChange, SixteenBitSliderWritesOneWindowPerChange) {
    Harness h;
    h.open();
    auto& image = h.state.TimingRegisters;
    auto mark = h.mark();
    h.slider("h2pos")->setValue(256);  // from 255: both bytes change
    EXPECT_EQ(image[2], 0x00);
    EXPECT_EQ(image[4], 0x01);
    auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], blockWrite(2, image));
    EXPECT_EQ(sent[0][4], 0x00);
    EXPECT_EQ(sent[0][5], 0xA3);  // byte 3 belongs to no parameter and goes back as read
    EXPECT_EQ(sent[0][6], 0x01);
    EXPECT_EQ(sent[1], writeEnd(sent[0]));
    EXPECT_EQ(h.text("h2pos"), "256");

    mark = h.mark();
    h.slider("h2pos")->setValue(257);  // only the low byte changes
    sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Command{0x11, 0, kBaseLow + 2, kBaseHigh, 0x01, 0xA3, 0x01, 0xA5}));
    EXPECT_EQ(sent[1], writeEnd(sent[0]));
}

TEST(TimingWindowChange, ClampWidthWritesItsWindowAtBasePlus20) {
    Harness h;
    h.open();
    const auto mark = h.mark();
    h.slider("clamp_width")->setValue(11);
    const auto& image = h.state.TimingRegisters;
    const auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0],
              (Command{0x11, 0x00, kBaseLow + 20, kBaseHigh, 11, image[21], image[22], image[23]}));
    EXPECT_EQ(image[21], 0xA0 + 21);
    EXPECT_EQ(sent[1],
              (Command{0x12, 0x00, kBaseLow + 20, kBaseHigh, 11, image[21], image[22], image[23]}));
    EXPECT_EQ(h.text("clamp_width"), "11");
    EXPECT_EQ(h.unit().activeTimingBlock()[20], 11);
    EXPECT_EQ(h.unit().activeTimingBlock()[21], 0xA0 + 21);
}

TEST(TimingWindowChange, OverlappingWindowsCarryTheirNeighbour) {
    Harness h;
    h.open();
    h.slider("clamp_width")->setValue(33);
    auto mark = h.mark();
    h.slider("clamp_start")->setValue(5);
    auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][2], kBaseLow + 18);
    EXPECT_EQ(sent[0][4], 5);
    EXPECT_EQ(sent[0][6], 33);  // the current clamp width

    h.slider("vsw")->setValue(9);
    mark = h.mark();
    h.slider("hsw")->setValue(200);
    sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Command{0x11, 0, kBaseLow + 48, kBaseHigh, 200, 0xA0 + 49, 9, 0xA0 + 51}));
}

TEST(TimingWindowChange, EveryParameterWritesTheWindowAtItsFirstByte) {
    Harness h;
    h.open();
    for (const auto& p : kTimingParameters) {
        const auto mark = h.mark();
        auto* s = h.slider(p.name);
        s->setValue(s->value() == 1 ? 2 : 1);
        const auto sent = h.sent(mark);
        ASSERT_EQ(sent.size(), 2u) << p.name;
        EXPECT_EQ(sent[0], blockWrite(p.lowByte, h.state.TimingRegisters)) << p.name;
        EXPECT_EQ(sent[1][0], 0x12) << p.name;
    }
}

TEST(TimingWindowChange, UserStepsThroughTheScrollBarWriteAtOnce) {
    Harness h;
    h.open();
    const auto mark = h.mark();
    h.slider("vst")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(h.slider("vst")->value(), 526);
    EXPECT_EQ(h.text("vst"), "526");
    const auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][2], kBaseLow + 44);
    EXPECT_EQ(sent[0][4], 526 & 0xFF);
    EXPECT_EQ(sent[0][6], 526 >> 8);
}

// ---- closing and reopening

TEST(TimingWindowClose, SendsTimingAccessEndAndKeepsTheImage) {
    Harness h;
    h.open();
    h.state.TimingRegisters[200] = 0x42;
    const auto image = h.state.TimingRegisters;
    const auto mark = h.mark();
    EXPECT_TRUE(h.window->close());
    const auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][0], 0x0F);
    EXPECT_EQ(sent[0][1], 0x00);
    EXPECT_EQ(h.state.TimingRegisters, image);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(h.window.isNull());

    EXPECT_FALSE(h.unit().timingAccessOpen());

    // Reopening reads the base and the block afresh; the rest of the image stays.
    Block other{};
    other[2] = 7;
    h.state.TimingBaseLow = 0;
    h.open(other);
    EXPECT_EQ(h.state.TimingBaseLow, kBaseLow);
    EXPECT_EQ(h.state.TimingRegisters[2], 7);
    EXPECT_EQ(h.state.TimingRegisters[20], 0);
    EXPECT_EQ(h.state.TimingRegisters[200], 0x42);
    EXPECT_EQ(h.slider("h2pos")->value(), 7);
}

// ---- the data file

TEST(TimingDataSave, RightAfterOpeningHoldsTheBlockZerosAndAFinalZero) {
    Harness h;
    QTemporaryDir dir;
    h.open();
    h.nextChoice = dir.filePath("timing.bin");
    const auto mark = h.mark();
    h.click("Command1");
    EXPECT_TRUE(h.sent(mark).empty());  // the unit is not asked

    ASSERT_EQ(h.dialogs.size(), 1u);
    EXPECT_EQ(h.dialogs[0].kind, TimingWindow::FileDialogRequest::Kind::Save);
    EXPECT_EQ(h.dialogs[0].title, QString::fromUtf8("KAVO-3 入出力映像タイミングDataを保存"));
    EXPECT_EQ(h.dialogs[0].fileName, "kavo3_syc*.bin");
    EXPECT_EQ(h.dialogs[0].folder,
              ui::documentsFolder());
    EXPECT_EQ(h.session.ChosenFileName, h.nextChoice);

    const QByteArray file = fileBytes(h.nextChoice);
    ASSERT_EQ(file.size(), 257);
    const auto block = unitBlock();
    for (std::size_t i = 0; i < 80; ++i) ASSERT_EQ(std::uint8_t(file[int(i)]), block[i]) << i;
    for (int i = 80; i < 257; ++i) ASSERT_EQ(file[i], 0) << i;
}

TEST(TimingDataSave, CancelWritesNothingAndClearsTheChosenName) {
    Harness h;
    h.open();
    h.session.ChosenFileName = "/earlier/choice";
    h.nextChoice.clear();
    h.click("Command1");
    EXPECT_TRUE(h.session.ChosenFileName.isEmpty());
}

TEST(TimingDataSave, AFailedSaveSaysSoAndLeavesTheOldFile) {
    Harness h;
    QTemporaryDir dir;
    h.open();
    h.nextChoice = dir.filePath("saved.bin");
    h.click("Command1");
    EXPECT_TRUE(h.messages.isEmpty());

    // No such folder; a name at the length limit, with nothing writable beside it.
    const QString longName = dir.filePath(QString(255, 'k'));
    writeFile(longName, "old contents");
    for (const QString& path : {dir.filePath("no/such/folder.bin"), longName}) {
        h.nextChoice = path;
        h.click("Command1");
        EXPECT_EQ(h.messages.value(0), kSaveFailed) << path.toStdString();
        h.messages.clear();
    }
    EXPECT_EQ(fileBytes(longName), "old contents");
}

TEST(TimingDataSave, InAFolderThatTakesNoNewFileTheFileIsWrittenInPlace) {
    Harness h;
    QTemporaryDir dir;
    h.open();
    const QString path = dir.filePath("kavo3_syc1.bin");
    writeFile(path, QByteArray(600, 'x'));
    ReadOnlyFolder folder(dir.path());
    if (!folder.ready()) GTEST_SKIP() << "no folder here can refuse new files";
    h.nextChoice = path;
    h.click("Command1");
    EXPECT_TRUE(h.messages.isEmpty());
    const QByteArray file = fileBytes(path);
    ASSERT_EQ(file.size(), 257);
    EXPECT_EQ(std::uint8_t(file[2]), unitBlock()[2]);
    EXPECT_EQ(file[256], 0);
}

TEST(TimingDataLoad, WritesNineteenWindowsRefreshesAndEndsWithWriteEnd) {
    Harness h;
    QTemporaryDir dir;
    h.open();
    QByteArray file(300, 0);
    for (int i = 0; i < file.size(); ++i) file[i] = char(0x80 + (i % 0x80));
    for (const auto& p : kTimingParameters)
        if (p.wide()) file[int(p.highByte)] = 0x0C;
    file[20] = char(0xFE);  // clamp_width
    h.nextChoice = dir.filePath("in.bin");
    writeFile(h.nextChoice, file);

    const auto mark = h.mark();
    h.click("Command2");
    const auto& image = h.state.TimingRegisters;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(image[std::size_t(i)], std::uint8_t(file[i])) << i;
    EXPECT_EQ(image[256], 0);

    const auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 20u);
    for (std::size_t r = 0; r < 19; ++r) EXPECT_EQ(sent[r], blockWrite(4 * r, image)) << r;
    EXPECT_EQ(sent[19], writeEnd(sent[18]));
    EXPECT_EQ(sent[19], (Command{0x12, 0, kBaseLow + 72, kBaseHigh, image[72], image[73], image[74],
                                 image[75]}));

    // The unit holds the file's bytes 0..75 and kept its own 76..79.
    const auto& unit = h.unit().activeTimingBlock();
    for (std::size_t i = 0; i < 76; ++i) EXPECT_EQ(unit[i], image[i]) << i;
    for (std::size_t i = 76; i < 80; ++i) EXPECT_EQ(unit[i], unitBlock()[i]) << i;

    EXPECT_EQ(h.slider("clamp_width")->value(), 0xFE);
    EXPECT_EQ(h.text("clamp_width"), "254");
    EXPECT_EQ(h.slider("h2pos")->value(), 0x0C * 256 + 0x82);
    EXPECT_EQ(h.dialogs.back().title, QString::fromUtf8("KAVO-3 入出力映像タイミングDataを読込"));
    EXPECT_EQ(h.dialogs.back().kind, TimingWindow::FileDialogRequest::Kind::Open);
}

TEST(TimingDataLoad, LoadThenSaveGivesTheSameFileAndHighBytesSurvive) {
    Harness h;
    QTemporaryDir dir;
    h.open();
    QByteArray original(257, 0);
    for (int i = 0; i < 256; ++i) original[i] = char(0x80 + (i * 7) % 0x80);
    for (const auto& p : kTimingParameters)
        if (p.wide()) original[int(p.highByte)] = 0x0F;
    h.nextChoice = dir.filePath("saved.bin");
    writeFile(h.nextChoice, original);
    h.click("Command2");
    h.nextChoice = dir.filePath("again.bin");
    h.click("Command1");
    EXPECT_EQ(fileBytes(dir.filePath("again.bin")), original);

    // The load dialog is not preset at first; later it shows the name last used here.
    h.nextChoice.clear();
    h.click("Command2");
    ASSERT_EQ(h.dialogs.size(), 3u);
    EXPECT_TRUE(h.dialogs[0].fileName.isEmpty());
    EXPECT_EQ(h.dialogs[2].fileName, dir.filePath("again.bin"));
}

TEST(TimingDataLoad, CancelledLoadStillWritesTheCurrentImage) {
    Harness h;
    h.open();
    h.state.TimingRegisters[77] = 0x99;
    const auto image = h.state.TimingRegisters;
    h.nextChoice.clear();
    const auto mark = h.mark();
    h.click("Command2");
    EXPECT_EQ(h.state.TimingRegisters, image);
    EXPECT_TRUE(h.session.ChosenFileName.isEmpty());
    const auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 20u);
    for (std::size_t r = 0; r < 19; ++r) EXPECT_EQ(sent[r], blockWrite(4 * r, image)) << r;
    EXPECT_EQ(sent[19], writeEnd(sent[18]));
}

TEST(TimingDataLoad, RefusedFilesChangeNothingAndSendNothing) {
    Harness h;
    QTemporaryDir dir;
    h.open();
    h.slider("clamp_width")->setValue(11);
    h.state.TimingRegisters[150] = 0x33;

    QByteArray tooHigh(257, 0x01);
    tooHigh[46] = 0x10;  // vst = 0x1001
    QByteArray loadable(257, 0x01);
    const std::array<std::pair<QString, QByteArray>, 4> files{{
        {dir.filePath("short.bin"), QByteArray(255, 0x01)},
        {dir.filePath("empty.bin"), QByteArray()},
        {dir.filePath("high.bin"), tooHigh},
        {dir.filePath("missing.bin"), QByteArray()},
    }};
    for (const auto& [path, bytes] : files)
        if (!path.endsWith("missing.bin")) writeFile(path, bytes);

    const auto image = h.state.TimingRegisters;
    for (const auto& [path, bytes] : files) {
        h.nextChoice = path;
        const auto mark = h.mark();
        h.click("Command2");
        EXPECT_TRUE(h.sent(mark).empty()) << path.toStdString();
        EXPECT_EQ(h.state.TimingRegisters, image) << path.toStdString();
        EXPECT_EQ(h.slider("clamp_width")->value(), 11);
        EXPECT_EQ(h.text("clamp_width"), "11");
        EXPECT_EQ(h.slider("vst")->value(), 525);
        EXPECT_EQ(h.session.ChosenFileName, path);
        EXPECT_EQ(h.messages.value(0), kLoadRefused) << path.toStdString();
        h.messages.clear();
    }
}

TEST(TimingDataLoad, CloseDuringTheLoadWaitsForItsEnd) {
    Harness h;
    h.open();
    h.nextChoice.clear();
    QTimer::singleShot(0, h.window, [&h] { h.window->close(); });
    const auto mark = h.mark();
    h.click("Command2");
    const auto sent = h.sent(mark);
    ASSERT_EQ(sent.size(), 21u);
    EXPECT_EQ(sent[19][0], 0x12);
    EXPECT_EQ(sent[20][0], 0x0F);
    EXPECT_EQ(sent[20][1], 0x00);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(h.window.isNull());
}

// ---- what the unit must not make the window do

TEST(TimingWindowLimits, BaseNearThePageEndNeverCarriesIntoTheHighByte) {
    const std::uint8_t base = 0xE0;  // block bytes 0..31 lie in the page
    Harness h(Harness::withBase(base, kBaseHigh));
    h.open();
    const auto sent = h.sent();
    ASSERT_EQ(sent.size(), 5u);  // access begin and the four reads that fit
    for (std::size_t r = 1; r < sent.size(); ++r) EXPECT_EQ(sent[r][2], base + 8 * (r - 1));
    for (std::size_t i = 32; i < 80; ++i) EXPECT_EQ(h.state.TimingRegisters[i], 0) << i;

    for (const auto& p : kTimingParameters)
        EXPECT_EQ(h.slider(p.name)->isEnabled(), p.lowByte + 3 <= 31) << p.name;

    auto mark = h.mark();
    h.slider("hst")->setValue(100);  // cannot be addressed: kept out of the unit and the image
    EXPECT_TRUE(h.sent(mark).empty());
    EXPECT_EQ(h.state.TimingRegisters[40], 0);

    mark = h.mark();
    h.nextChoice.clear();
    h.click("Command2");
    const auto load = h.sent(mark);
    ASSERT_EQ(load.size(), 9u);  // windows 0..28, then Write end
    for (std::size_t r = 0; r < 8; ++r) {
        EXPECT_EQ(load[r][2], base + 4 * r);
        EXPECT_EQ(load[r][3], kBaseHigh);
    }
    EXPECT_EQ(load[8], writeEnd(load[7]));
}

// Reads go in steps of eight and stop at the page end, so near it a four-byte window can fit
// the page and still hold bytes that were never read.
class TimingWindowUnreadBytes : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(TimingWindowUnreadBytes, OnlyWholeReadWindowsAreShownAndWritten) {
    const std::uint8_t base = GetParam();
    const std::size_t readEnd = (256 - base) / 8 * 8;  // bytes 0..readEnd-1 are read
    Harness h(Harness::withBase(base, kBaseHigh));
    const Block block = unitBlock();
    h.open(block);
    const auto unitBytes = [&h] {
        Block now{};
        for (std::size_t i = 0; i < now.size(); ++i)
            now[i] = h.unit().timingRegister(static_cast<std::uint16_t>(h.base() + i));
        return now;
    };

    for (const auto& p : kTimingParameters) {
        const bool whole = p.lowByte + 4 <= readEnd;
        EXPECT_EQ(h.slider(p.name)->isEnabled(), whole) << p.name;
        if (whole) {
            EXPECT_EQ(h.slider(p.name)->value(), p.valueIn(h.state.TimingRegisters)) << p.name;
        } else {
            EXPECT_EQ(h.text(p.name), "000") << p.name;
        }
    }

    // A disabled slider moved all the same writes nothing.
    for (const auto& p : kTimingParameters) {
        if (p.lowByte + 4 <= readEnd) continue;
        const auto mark = h.mark();
        h.slider(p.name)->setValue(3);
        EXPECT_TRUE(h.sent(mark).empty()) << p.name;
        EXPECT_EQ(h.text(p.name), "000") << p.name;
    }

    // A load, without a file and with one, writes only the windows read whole.
    QTemporaryDir dir;
    const QString file = dir.filePath("all-ones.bin");
    writeFile(file, QByteArray(256, 0x01));
    for (const QString& choice : {QString(), file}) {
        h.nextChoice = choice;
        const auto mark = h.mark();
        h.click("Command2");
        const auto load = h.sent(mark);
        const std::size_t windows = (readEnd - 4) / 4 + 1;
        ASSERT_EQ(load.size(), windows + 1) << choice.toStdString();
        for (std::size_t r = 0; r < windows; ++r)
            EXPECT_EQ(load[r], blockWrite(4 * r, h.state.TimingRegisters, base)) << r;
        EXPECT_EQ(load.back(), writeEnd(load[windows - 1]));
        for (const auto& p : kTimingParameters) {
            if (p.lowByte + 4 > readEnd) {
                EXPECT_EQ(h.text(p.name), "000") << p.name;
            }
        }
    }
    const Block after = unitBytes();
    for (std::size_t i = readEnd; i < block.size() && base + i <= 0xFF; ++i)
        EXPECT_EQ(after[i], block[i]) << "unread byte " << i;
}

// 178: bytes 72..75 unread; 185: pv1pos and pv1size half or not read; 201: hsw and vsw.
INSTANTIATE_TEST_SUITE_P(BasesNearThePageEnd, TimingWindowUnreadBytes,
                         ::testing::Values(std::uint8_t{178}, std::uint8_t{185},
                                           std::uint8_t{201}));

TEST(TimingWindowLimits, WriteEndCarriesTheTimingWindowsOwnBlockWrite) {
    Harness h;
    h.open();
    // Another window's exchange during each settle wait of the load.
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&h] {
        h.link.CommandBytes = {0x13, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42};
        h.link.Exchange();
    });
    other.start(0);
    h.nextChoice.clear();
    const auto mark = h.mark();
    h.click("Command2");
    other.stop();
    std::vector<Command> timing;
    for (const auto& c : h.sent(mark))
        if (c[0] != 0x13) timing.push_back(c);
    ASSERT_EQ(timing.size(), 20u);
    EXPECT_EQ(timing[19], writeEnd(timing[18]));
    EXPECT_GT(h.sent(mark).size(), 20u);
}

TEST(TimingWindowLimits, ValueBeyond4095FromTheUnitIsShownNotWritten) {
    Harness h;
    auto block = unitBlock();
    block[12] = 0x12;  // h2size = 0x12D0
    h.open(block);
    EXPECT_TRUE(h.sent(11).empty());
    EXPECT_EQ(h.slider("h2size")->value(), 4095);
    EXPECT_EQ(h.text("h2size"), QString::number(0x12D0));
    EXPECT_EQ(h.state.TimingRegisters[12], 0x12);

    // A refresh leaves it so; a value the user then chooses is written.
    h.window->RefreshTimingSliders();
    EXPECT_TRUE(h.sent(11).empty());
    h.slider("h2size")->setValue(4000);
    const auto sent = h.sent(11);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][4], 4000 & 0xFF);
    EXPECT_EQ(sent[0][6], 4000 >> 8);
}

TEST(TimingWindowLimits, ValueBeyond4095ThenLoaded4095ShowsTheLoadedValue) {
    Harness h;
    QTemporaryDir dir;
    auto block = unitBlock();
    block[68] = 0x20;  // pv1size beyond range; the slider stands at 4095
    h.open(block);
    QByteArray file(256, 0);
    file[66] = char(0xFF);
    file[68] = 0x0F;
    h.nextChoice = dir.filePath("f.bin");
    writeFile(h.nextChoice, file);
    h.click("Command2");
    EXPECT_EQ(h.slider("pv1size")->value(), 4095);
    EXPECT_EQ(h.text("pv1size"), "4095");
}

}  // namespace
}  // namespace kavo3::timing
