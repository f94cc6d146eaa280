#include "app/MainWindow.h"

#include <QCloseEvent>
#include <utility>

#include "link/ConnectionCheck.h"
#include "ui/Design.h"
#include "ui/DeviceWatch.h"

namespace kavo3::app {

namespace {
QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, int left, int top,
                        int width, int height) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    ui::placeInTwips(b, left, top, width, height);
    return b;
}
}  // namespace

MainWindow::MainWindow(ui::ProgramState& session, QWidget* parent) : QWidget(parent), session_(session) {
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8("KAVO-3 映像信号調整TOOL Ver 1.11"));
    setFixedSize(ui::twips(7395), ui::twips(1890));
    // Controls without a font of their own in the design take its default face.
    setFont(ui::designFont(9));

    Text1 = new QLineEdit(this);
    Text1->setObjectName("Text1");
    Text1->setFont(ui::designFont(11.25));
    Text1->setReadOnly(true);
    ui::placeInTwips(Text1, 360, 360, 6135, 495);

    Command1 = makeButton(this, "Command1", "入出力映像信号調整", 240, 1200, 1815, 495);
    Command2 = makeButton(this, "Command2", "リモートコントロール", 2160, 1200, 1815, 495);
    Command10 = makeButton(this, "Command10", "kavo cmd　load", 4080, 1200, 1575, 495);
    Command3 = makeButton(this, "Command3", "キャプチャー", 5760, 1200, 1575, 495);

    progressPacer_.setSingleShot(true);
    connect(&progressPacer_, &QTimer::timeout, this, [this] {
        Text1->setText(pendingProgress_);
        sinceProgressShown_.start();
    });

    const auto call = [](const std::function<void()>& f) {
        if (f) f();
    };
    connect(Command1, &QPushButton::clicked, this, [this, call] { call(showTimingWindow); });
    connect(Command2, &QPushButton::clicked, this, [this, call] { call(showRemoteWindow); });
    connect(Command3, &QPushButton::clicked, this, [this, call] { call(showCaptureWindow); });
    connect(Command10, &QPushButton::clicked, this, [this, call] { call(startRomDownload); });

    // A problem met later (a unit that stalls) shows as soon as the link meets it.
    session_.link.setProblemListener(
        [this](const std::string& problem) { showUnitProblem(problem); });
    // A unit that an earlier program left halfway is settled by the first search that finds it.
    session_.link.setNoticeListener([this](const std::string& notice) {
        settledNotice_ = notice;
        showUnitProblem(session_.link.unitProblem());
    });
}

MainWindow::~MainWindow() {
    session_.link.setProblemListener({});
    session_.link.setNoticeListener({});
}

void MainWindow::load() {
    if (loaded_) return;
    loaded_ = true;
    connectUnit();
}

void MainWindow::connectUnit() {
    link::DeviceLink& link = session_.link;
    checking_ = true;
    leftDuringCheck_.clear();
    const link::Connection connection =
        link::checkConnection(link, [this](int ticks) { session_.clock.settleWait(ticks); });
    checking_ = false;
    connected_ = connection == link::Connection::Ready;
    setStatusText(QString::fromUtf8(connected_ ? kConnectedText : kNotConnectedText));
    showButtons();
    unitNotice_ = unitNotice ? unitNotice() : std::string();
    showUnitProblem(link.unitProblem());
    for (const link::DeviceEvent& left : std::exchange(leftDuringCheck_, {})) deviceLeft(left);
    runOwedCheck();
}

void MainWindow::showUnitProblem(const std::string& problem) {
    std::string tip;
    for (const std::string* part : {&problem, static_cast<const std::string*>(&unitNotice_),
                                    static_cast<const std::string*>(&settledNotice_)})
        if (!part->empty()) tip += (tip.empty() ? "" : "\n") + *part;
    Text1->setToolTip(QString::fromStdString(tip));
}

void MainWindow::listenTo(ui::DeviceWatch& watch) {
    connect(&watch, &ui::DeviceWatch::changed, this, [this](const link::DeviceEvent& event) {
        if (event.kind == link::DeviceEvent::Kind::Arrived)
            deviceArrived(event);
        else
            deviceLeft(event);
    });
}

void MainWindow::deviceArrived(const link::DeviceEvent& event) {
    if (!loaded_ || !link::mayBeUnit(event)) return;
    if (connected_) {
        // Another unit: nothing is sent, but the notice of the others is told anew.
        refreshUnitNotice();
        return;
    }
    // Nothing may come between a download's reports, nor into a check that is waiting.
    if (checking_ || buttonsHeldOff_ || session_.link.held()) {
        checkOwed_ = true;
        return;
    }
    connectUnit();
}

void MainWindow::deviceLeft(const link::DeviceEvent& event) {
    // A check under way would show its answer over it: it hears of it when it has ended.
    if (checking_) {
        leftDuringCheck_.push_back(event);
        return;
    }
    if (!connected_) return;
    if (!link::sameInterface(event.path, session_.link.DevicePath())) {
        refreshUnitNotice();
        return;
    }
    connected_ = false;
    setStatusText(QString::fromUtf8(kNotConnectedText));
    showButtons();
    // What the check said of the unit it found no longer holds.
    unitNotice_.clear();
    showUnitProblem(session_.link.unitProblem());
}

void MainWindow::refreshUnitNotice() {
    if (!unitNotice) return;
    unitNotice_ = unitNotice();
    showUnitProblem(session_.link.unitProblem());
}

void MainWindow::runOwedCheck() {
    if (!checkOwed_) return;
    checkOwed_ = false;
    // From the event loop, not from inside whatever has just ended.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!connected_) deviceArrived({});
        },
        Qt::QueuedConnection);
}

void MainWindow::setStatusText(const QString& text) {
    progressPacer_.stop();
    Text1->setText(text);
}

void MainWindow::setProgressText(const QString& text) {
    if (progressPacer_.isActive()) {
        pendingProgress_ = text;
        return;
    }
    if (!sinceProgressShown_.isValid() || sinceProgressShown_.elapsed() >= kProgressInterval) {
        Text1->setText(text);
        sinceProgressShown_.start();
        return;
    }
    pendingProgress_ = text;
    progressPacer_.start(kProgressInterval - static_cast<int>(sinceProgressShown_.elapsed()));
}

QString MainWindow::statusText() const {
    return progressPacer_.isActive() ? pendingProgress_ : Text1->text();
}

void MainWindow::setUnitButtonsEnabled(bool enabled) {
    buttonsHeldOff_ = !enabled;
    showButtons();
    if (enabled) runOwedCheck();
}

void MainWindow::showButtons() {
    const bool enabled = connected_ && !buttonsHeldOff_;
    for (QPushButton* b : {Command1, Command2, Command3, Command10}) b->setEnabled(enabled);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    // Ends the run at once, also from inside another window's wait; no other window's
    // closing handling runs.
    ui::endRun(session_);
}

}  // namespace kavo3::app
