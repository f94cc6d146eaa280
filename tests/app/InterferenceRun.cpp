// A seeded random run of the whole program, offscreen, against the simulated unit: clicks on
// every enabled button of every window, close boxes, slider moves and keys, file dialogs
// answered with good, bad or cancelled files, downloads and captures started and stopped, and
// the unit's faults and report delay switched between actions. Actions fire from timers, so
// they also land inside other sequences' settle waits and event passes, as a user's would.
// The invariants are checked on every report and after every action.
//
// The unit's presence is switched too: unplugged, plugged in again (at the same path or
// another), silent or answering late, downloads included; the simulated unit's own view of
// every attachment must find nothing wrong.
//
//   KAVO3_SEED=<n>     the same choices again (the interleaving also depends on timing)
//   KAVO3_ACTIONS=<n>  how many actions (default 3000)
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "WireChecks.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "capture/BitmapFile.h"
#include "capture/CaptureWindow.h"
#include "download/RomDownloader.h"
#include "link/testing/RecordingTransport.h"
#include "sim/SimTransport.h"
#include "sim/UnitView.h"
#include "timing/TimingParameters.h"
#include "timing/TimingWindow.h"

namespace kavo3::app::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kReadWait{2};
// Deeper nesting adds nothing a user could do and would only grow the stack.
constexpr int kMaxDepth = 3;
// What an action may take beyond the waits of its own reports: a busy shared machine.
constexpr auto kSlack = 1500ms;
constexpr auto kPerWrite = 8ms;  // settle waits come at most two per exchange

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::uint32_t le32(const QByteArray& b, int at) {
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

bool wholeBitmap(const QByteArray& b) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const auto width = static_cast<std::int32_t>(le32(b, 18));
    const auto height = static_cast<std::int32_t>(le32(b, 22));
    return le32(b, 2) == std::uint32_t(b.size()) && le32(b, 10) == 54 && width > 0 &&
           width % 4 == 0 && height < 0 &&
           qint64(54) + qint64(width) * -qint64(height) * 3 == b.size();
}

bool wholeTimingFile(const QByteArray& b) {
    if (b.size() != 257 || b[256] != 0) return false;
    for (const auto& p : timing::kTimingParameters)
        if (p.wide() && std::uint8_t(b[p.highByte]) > 15) return false;
    return true;
}

// A save whose file is checked once the action that made it has ended.
struct SaveCheck {
    enum class Kind { Timing, Bitmap } kind;
    QString path;
    bool existed;
    QByteArray before;
    int depth;
    int messagesBefore;
};

class InterferenceRun {
  public:
    InterferenceRun(std::uint64_t seed, int actions) : rng_(seed), total_(actions) {
        sim::SimOptions options;
        // Small enough that a capture is quick, large enough to be accepted.
        options.width = 256;
        options.height = 120;
        unit_.emplace(options);
        wire_.emplace(*unit_);
        link_.emplace(*wire_, kReadWait);
        session_.emplace(ui::ProgramState{*link_, clock_, {}, [this] { ++programEnds_; }});
        mainWindow_.emplace(*session_);
        windows_.emplace(*session_, *mainWindow_);
        wire_->afterWrite = [this](const link::testing::RecordingTransport::Command& c) {
            ++writes_;
            checks_.reportWritten(c);
        };
        prepareFiles();
        windows_->downloader().chooseFile = [this](QWidget*, const QString&, const QString&) {
            return chooseDownload();
        };
    }

    int run() {
        mainWindow_->load();
        mainWindow_->show();
        const auto start = Clock::now();
        QTimer::singleShot(0, &timers_, [this] { act(); });
        loop_.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf(
            "interference run: %d actions in %.1f s (deepest nesting %d); %d downloads (%d of "
            "them undisturbed, checked for Write OK), %d timing saves, %d timing loads, %d bitmap "
            "saves, %d "
            "messages, %d windows closed, %d fault switches, %d presence faults (%d of them during "
            "a download)\n",
            done_, seconds, deepest_, downloads_, okDownloads_, timingSaves_, timingLoads_,
            bitmapSaves_, messages_, closes_, switches_, presenceFaults_, presenceInDownload_);
        // The first failures say what went wrong; the rest mostly follow from them.
        for (std::size_t i = 0; i < failures_.size() && i < 5; ++i)
            std::printf("FAILED: %s\n", failures_[i].c_str());
        std::fflush(stdout);
        return failures_.empty() ? 0 : 1;
    }

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    bool failed() const { return !failures_.empty(); }

    void fail(const std::string& what) {
        const std::string where = doing_.empty() ? std::string("end")
                                                 : "action " + std::to_string(doing_.back().index) +
                                                       " (" + doing_.back().what + ")";
        failures_.push_back(where + ": " + what);
    }

    // ---- files the dialogs answer with

    void prepareFiles() {
        const auto write = [this](const QString& name, const QByteArray& bytes) {
            QFile f(dir_.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            return f.fileName();
        };
        const auto randomBytes = [this](int n) {
            QByteArray b(n, 0);
            for (auto& c : b) c = static_cast<char>(pick(256));
            return b;
        };
        for (const int size : {1, 13, 800, 3200, 4100})
            romFiles_.push_back(write(QString("rom-%1.bin").arg(size), randomBytes(size)));
        emptyRom_ = write("rom-empty.bin", {});

        QByteArray good = randomBytes(257);
        for (const auto& p : timing::kTimingParameters)
            if (p.wide()) good[p.highByte] = static_cast<char>(pick(16));
        QByteArray high = good;
        high[46] = 0x10;
        loadFiles_ = {write("good.bin", good),      write("short.bin", good.left(100)),
                      write("high.bin", high),      dir_.filePath("saved-a.bin"),
                      dir_.filePath("missing.bin"), QString()};
        // A name at the length limit: nothing can be written beside it.
        const QString longName = write(QString(255, 'k'), "old contents");
        timingSavePaths_ = {dir_.filePath("saved-a.bin"), dir_.filePath("saved-b.bin"),
                            dir_.filePath("no/such/folder.bin"), longName, QString()};
        bitmapChoices_ = {dir_.filePath("frame-a"), dir_.filePath("frame-b.png"),
                          dir_.filePath("no/such/frame.bmp"), QString()};
    }

    QString chooseDownload() {
        const bool cancel = chance(0.1);
        const bool empty = !cancel && chance(0.05);
        const QString path = cancel ? QString() : empty ? emptyRom_ : romFiles_[pick(5)];
        if (!path.isEmpty()) {
            downloadChosen_ = true;
            const QByteArray bytes = contentsOf(path);
            checks_.downloadStarts({bytes.begin(), bytes.end()});
            downloadGood_ = !empty;
            // A unit away when the download begins can only fail it.
            downloadDisturbed_ = unit_->unit().options().corruptFlash || unit_->unplugged();
        }
        return path;
    }

    void expectSave(SaveCheck::Kind kind, const QString& path) {
        if (path.isEmpty()) return;
        pendingSaves_.push_back(
            {kind, path, QFile::exists(path), contentsOf(path), depth_, messages_});
    }

    void checkSaves() {
        while (!pendingSaves_.empty() && pendingSaves_.back().depth >= depth_) {
            const SaveCheck s = pendingSaves_.back();
            pendingSaves_.pop_back();
            const bool exists = QFile::exists(s.path);
            const QByteArray now = contentsOf(s.path);
            const bool untouched = exists == s.existed && now == s.before;
            const bool whole = exists && (s.kind == SaveCheck::Kind::Timing ? wholeTimingFile(now)
                                                                            : wholeBitmap(now));
            if (!whole && !untouched)
                fail("a save left " + s.path.toStdString() + " neither whole nor as it was");
            if (s.kind == SaveCheck::Kind::Timing) {
                const bool told = messages_ > s.messagesBefore;
                if (told && !untouched) fail("a save said it failed but changed the file");
                if (!told && !whole) fail("a save failed without a word");
            }
        }
    }

    // Dialogs are modal: nothing else happens while one is open, so they answer at once.
    void hookWindows() {
        if (auto* t = qobject_cast<timing::TimingWindow*>(windows_->timingWindow());
            t && !t->property("hooked").toBool()) {
            t->setProperty("hooked", true);
            t->chooseFile = [this](const timing::TimingWindow::FileDialogRequest& r) {
                if (r.kind == timing::TimingWindow::FileDialogRequest::Kind::Open) {
                    ++timingLoads_;
                    return loadFiles_[std::size_t(pick(int(loadFiles_.size())))];
                }
                ++timingSaves_;
                const QString path =
                    timingSavePaths_[std::size_t(pick(int(timingSavePaths_.size())))];
                expectSave(SaveCheck::Kind::Timing, path);
                return path;
            };
            t->showMessage = [this](const QString&) { ++messages_; };
        }
        if (auto* c = qobject_cast<capture::CaptureWindow*>(windows_->captureWindow());
            c && !c->property("hooked").toBool()) {
            c->setProperty("hooked", true);
            c->chooseFile = [this](QWidget*, const QString&, const QString&, const QString&) {
                const QString chosen =
                    bitmapChoices_[std::size_t(pick(int(bitmapChoices_.size())))];
                if (!chosen.isEmpty()) {
                    ++bitmapSaves_;
                    expectSave(
                        SaveCheck::Kind::Bitmap,
                        QString::fromStdString(capture::finalBitmapPath(chosen.toStdString())));
                }
                return chosen;
            };
        }
    }

    // ---- actions

    std::vector<QWidget*> openWindows() {
        std::vector<QWidget*> out{&*mainWindow_};
        for (QWidget* w :
             {windows_->timingWindow(), windows_->remoteWindow(), windows_->captureWindow()})
            if (w && w->isVisible()) out.push_back(w);
        return out;
    }

    void clickSomething() {
        const auto windows = openWindows();
        QWidget* window = windows[std::size_t(pick(int(windows.size())))];
        std::vector<QAbstractButton*> buttons;
        for (auto* b : window->findChildren<QAbstractButton*>())
            if (b->isEnabled() && b->isVisible()) buttons.push_back(b);
        if (buttons.empty()) return;
        QAbstractButton* button = buttons[std::size_t(pick(int(buttons.size())))];
        const bool download = window == &*mainWindow_ && button->objectName() == "Command10";
        doing_.back().what = "click " + window->objectName().toStdString() + "." +
                             button->objectName().toStdString();
        if (!download) {
            button->click();
            return;
        }
        downloadRunning_ = true;
        downloadChosen_ = false;
        presenceInThisDownload_ = false;
        button->click();
        downloadRunning_ = false;
        checks_.downloadEnds(presenceInThisDownload_);
        if (!downloadChosen_) return;  // cancelled
        ++downloads_;
        if (!downloadGood_ || downloadDisturbed_ || answersFaulty()) return;
        ++okDownloads_;
        const QString text = mainWindow_->statusLine()->text();
        if (!text.contains("Write OK"))
            fail("an undisturbed download ended in \"" + text.toStdString() + "\"");
    }

    void moveSlider() {
        auto* t = windows_->timingWindow();
        if (!t || !t->isVisible()) return;
        std::vector<QScrollBar*> sliders;
        for (auto* s : t->findChildren<QScrollBar*>())
            if (s->isEnabled()) sliders.push_back(s);
        if (sliders.empty()) return;
        QScrollBar* s = sliders[std::size_t(pick(int(sliders.size())))];
        doing_.back().what = "slider " + s->objectName().toStdString();
        if (chance(0.5)) {
            s->setValue(pick(s->maximum() + 1));
            return;
        }
        static constexpr std::array keys{Qt::Key_Left,     Qt::Key_Right, Qt::Key_PageUp,
                                         Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
        QTest::keyClick(s, keys[std::size_t(pick(int(keys.size())))]);
    }

    void closeSomething() {
        auto windows = openWindows();
        windows.erase(windows.begin());  // the main window ends the program
        if (windows.empty()) return;
        QWidget* w = windows[std::size_t(pick(int(windows.size())))];
        doing_.back().what = "close " + w->objectName().toStdString();
        ++closes_;
        w->close();
    }

    bool answersFaulty() const {
        const auto& o = unit_->unit().options();
        return o.noAnswer || o.zeroAnswers || o.lateAnswers || unit_->unplugged();
    }

    // The unit leaves, comes back at the same path or another, falls silent or answers late.
    void switchPresence() {
        ++presenceFaults_;
        sim::SimOptions faults = unit_->unit().options();
        const int which = pick(5);
        // Answers coming back on time again disturb nothing that was not disturbed already; a
        // unit plugged back in does.
        if (downloadRunning_ && (which != 4 || unit_->unplugged())) {
            ++presenceInDownload_;
            downloadDisturbed_ = presenceInThisDownload_ = true;
        }
        if (unit_->unplugged()) {
            // One that left in the middle of a flash write may come back still expecting data:
            // the link settles that with it before anything else.
            const bool samePath = chance(0.5);
            unit_->plugBackIn(samePath);
            doing_.back().what = samePath ? "replug same path" : "replug other path";
            return;
        }
        if (which <= 1) {
            unit_->unplug();
            doing_.back().what = "unplug";
            if (which == 1) {
                unit_->plugBackIn(chance(0.5));
                doing_.back().what = "unplug and replug";
            }
            comeBackSoon();
            return;
        }
        faults.noAnswer = which == 2 && !faults.noAnswer;
        faults.lateAnswers = which == 3 && !faults.lateAnswers;
        faults.zeroAnswers = false;
        faults.answeredBeforeSilence = faults.answeredBeforeLate = 0;
        doing_.back().what = faults.noAnswer ? "silent" : faults.lateAnswers ? "late" : "answers";
        unit_->unit().changeFaults(faults);
        comeBackSoon();
    }

    // A unit away or silent for good would leave most of the run with nothing to reach: it is
    // back, answering on time, a few actions later (should nothing else have switched it).
    void comeBackSoon() {
        QTimer::singleShot(5 + pick(60), &timers_, [this] {
            if (unit_->unplugged()) {
                unit_->plugBackIn(chance(0.5));
            } else {
                sim::SimOptions faults = unit_->unit().options();
                if (!faults.noAnswer && !faults.lateAnswers) return;
                faults.noAnswer = faults.lateAnswers = false;
                unit_->unit().changeFaults(faults);
            }
            if (downloadRunning_) downloadDisturbed_ = presenceInThisDownload_ = true;
        });
    }

    void switchFaults() {
        ++switches_;
        if (chance(0.4)) {
            switchPresence();
            return;
        }
        sim::SimOptions faults = unit_->unit().options();
        switch (pick(4)) {
            case 0: {
                const int delays[] = {0, 50, 200};
                const int us = delays[pick(3)];
                unit_->setReportDelay(std::chrono::microseconds(us));
                doing_.back().what = "delay " + std::to_string(us);
                return;
            }
            case 1:
                faults.corruptFlash = chance(0.3);
                if (downloadRunning_) downloadDisturbed_ = true;
                doing_.back().what = faults.corruptFlash ? "corrupt" : "no corrupt";
                break;
            case 2:
                faults.checksumPolls = pick(4);
                doing_.back().what = "polls " + std::to_string(faults.checksumPolls);
                break;
            default: {
                faults.noAnswer = faults.zeroAnswers = faults.lateAnswers = false;
                const int which = !chance(0.35) ? 0 : 1 + pick(3);
                if (downloadRunning_ && which != 0) downloadDisturbed_ = true;
                if (which == 1) faults.noAnswer = true;
                if (which == 2) faults.zeroAnswers = true;
                if (which == 3) faults.lateAnswers = true;
                doing_.back().what = "answers " + std::to_string(which);
            }
        }
        unit_->unit().changeFaults(faults);
    }

    void letEventsRun() {
        doing_.back().what = "events";
        QEventLoop wait;
        QTimer::singleShot(pick(4), &wait, &QEventLoop::quit);
        wait.exec();
    }

    void act() {
        if (done_ >= total_ || failed()) {
            if (depth_ == 0) loop_.quit();
            return;
        }
        if (depth_ >= kMaxDepth) {
            QTimer::singleShot(1, &timers_, [this] { act(); });
            return;
        }
        const int index = done_++;
        if (done_ < total_) QTimer::singleShot(pick(3), &timers_, [this] { act(); });

        ++depth_;
        deepest_ = std::max(deepest_, depth_);
        const auto start = Clock::now();
        const long writes = writes_;
        const int reads = wire_->reads;
        hookWindows();
        doing_.push_back({index, "nothing"});
        const int kind = pick(100);
        if (kind < 50)
            clickSomething();
        else if (kind < 72)
            moveSlider();
        else if (kind < 80)
            closeSomething();
        else if (kind < 92)
            switchFaults();
        else
            letEventsRun();

        // Every exchange may cost its full read wait and two settle waits, no more.
        const auto allowed = kSlack + (writes_ - writes) * (kPerWrite + 200us) +
                             (wire_->reads - reads) * (kReadWait + 1ms);
        if (Clock::now() - start > allowed) fail("took longer than its reports' waits allow");
        checkSaves();
        for (; wireFailuresSeen_ < checks_.failures().size(); ++wireFailuresSeen_)
            fail("on the wire: " + checks_.failures()[wireFailuresSeen_]);
        for (const std::string& seen : sim::takeViolations()) fail(seen);
        doing_.pop_back();
        --depth_;
        if (depth_ == 0) {
            wire_->commands.clear();
            if (done_ >= total_ || failed()) loop_.quit();
        }
    }

    std::mt19937_64 rng_;
    const int total_;
    QTemporaryDir dir_;
    std::optional<sim::SimTransport> unit_;
    std::optional<link::testing::RecordingTransport> wire_;
    std::optional<link::DeviceLink> link_;
    ui::SettleClock clock_;
    std::optional<ui::ProgramState> session_;
    std::optional<MainWindow> mainWindow_;
    std::optional<ProgramWindows> windows_;
    QObject timers_;
    QEventLoop loop_;
    WireChecks checks_;

    std::vector<QString> romFiles_;
    QString emptyRom_;
    std::vector<QString> loadFiles_;
    std::vector<QString> timingSavePaths_;
    std::vector<QString> bitmapChoices_;
    std::vector<SaveCheck> pendingSaves_;

    std::size_t wireFailuresSeen_ = 0;
    int done_ = 0;
    int depth_ = 0;
    int deepest_ = 0;
    long writes_ = 0;
    // What each action of the nesting is doing, innermost last.
    struct Doing {
        int index;
        std::string what;
    };
    std::vector<Doing> doing_;
    std::vector<std::string> failures_;
    bool downloadRunning_ = false;
    bool downloadChosen_ = false;
    bool downloadGood_ = false;
    bool downloadDisturbed_ = false;
    bool presenceInThisDownload_ = false;
    int programEnds_ = 0;
    int downloads_ = 0, okDownloads_ = 0, timingSaves_ = 0, timingLoads_ = 0, bitmapSaves_ = 0;
    int messages_ = 0, closes_ = 0, switches_ = 0, presenceFaults_ = 0, presenceInDownload_ = 0;
};

std::uint64_t fromEnvironment(const char* name, std::uint64_t otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 0) : otherwise;
}

}  // namespace
}  // namespace kavo3::app::testing

int main(int argc, char** argv) {
    using namespace kavo3::app::testing;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Each window brought to the front would say so thousands of times.
    static const QtMessageHandler qtDefault = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.contains("does not support raise()")) qtDefault(type, context, text);
        });
    QApplication application(argc, argv);
    const std::uint64_t seed = fromEnvironment("KAVO3_SEED", std::random_device{}());
    const int actions = static_cast<int>(fromEnvironment("KAVO3_ACTIONS", 3000));
    std::printf("interference run: seed %llu, %d actions (KAVO3_SEED=%llu repeats its choices)\n",
                static_cast<unsigned long long>(seed), actions,
                static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    InterferenceRun run(seed, actions);
    return run.run();
}
