#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include "app/MainWindow.h"
#include "link/testing/FakeTransport.h"

namespace kavo3::app {
namespace {

using namespace std::chrono_literals;
using link::testing::FakeInterface;
using link::testing::FakeTransport;

struct Harness {
    FakeTransport transport;
    link::DeviceLink link{transport, 5ms};
    ui::SettleClock clock;
    int ended = 0;
    ui::ProgramState session{link, clock, {}, [this] { ++ended; }};

    void addUnit(std::uint16_t vid = 0x17A7, std::uint16_t pid = 1) {
        FakeInterface unit;
        unit.path = "/dev/hidraw0";
        unit.attributes = {vid, pid, 0};
        transport.interfaces.push_back(unit);
    }
    void answer(std::vector<std::uint8_t> bytes) {
        bytes.insert(bytes.begin(), 0);
        bytes.resize(65, 0);
        transport.answer(bytes);
    }
};

QStringList unitButtons() { return {"Command1", "Command2", "Command3", "Command10"}; }

void expectButtons(MainWindow& w, bool enabled) {
    for (const QString& name : unitButtons()) {
        auto* b = w.findChild<QPushButton*>(name);
        ASSERT_TRUE(b) << name.toStdString();
        EXPECT_EQ(b->isEnabled(), enabled) << name.toStdString();
    }
}

TEST(ConnectionCheck, AnsweringUnitConnectsAndEnablesTheButtons) {
    Harness h;
    h.addUnit();
    h.answer({0x01, 0, 0, 0, 0, 0, 0, 0});
    MainWindow w(h.session);
    w.load();
    EXPECT_EQ(w.statusLine()->text(), QString::fromUtf8("ＫＡＶＯ－３  Ｃｏｎｎｅｃｔ"));
    expectButtons(w, true);
    ASSERT_EQ(h.transport.written.size(), 1u);
    const std::vector<std::uint8_t> check(h.transport.written[0].begin(),
                                          h.transport.written[0].begin() + 9);
    EXPECT_EQ(check, (std::vector<std::uint8_t>{0, 2, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ConnectionCheck, OnlyTheEighthResponseByteNonZeroConnects) {
    Harness h;
    h.addUnit();
    h.answer({0, 0, 0, 0, 0, 0, 0, 0x80});
    MainWindow w(h.session);
    w.load();
    EXPECT_EQ(w.statusLine()->text(), QString::fromUtf8(kConnectedText));
    expectButtons(w, true);
}

TEST(ConnectionCheck, ANinthByteDoesNotCount) {
    Harness h;
    h.addUnit();
    h.answer({0, 0, 0, 0, 0, 0, 0, 0, 0x55});
    MainWindow w(h.session);
    w.load();
    EXPECT_EQ(w.statusLine()->text(), QString::fromUtf8(kNotConnectedText));
    expectButtons(w, false);
}

TEST(ConnectionCheck, ZeroAnswerNoAnswerAndNoUnitLeaveTheButtonsDisabled) {
    const QString notConnected = QString::fromUtf8("ＫＡＶＯ－３　No　Ｃｏｎｎｅｃｔ");
    {
        Harness h;
        h.addUnit();
        h.answer({0, 0, 0, 0, 0, 0, 0, 0});
        MainWindow w(h.session);
        w.load();
        EXPECT_EQ(w.statusLine()->text(), notConnected);
        expectButtons(w, false);
        EXPECT_TRUE(h.link.DeviceFound());  // the handles stay open
    }
    {
        Harness h;
        h.addUnit();
        MainWindow w(h.session);
        w.load();
        EXPECT_EQ(w.statusLine()->text(), notConnected);
        expectButtons(w, false);
    }
    {
        Harness h;
        h.addUnit(0x04D8, 0x0001);
        MainWindow w(h.session);
        w.load();
        EXPECT_EQ(w.statusLine()->text(), notConnected);
        expectButtons(w, false);
        EXPECT_TRUE(h.transport.written.empty());
    }
}

TEST(ConnectionCheck, RunsOnceEvenWhenLoadIsRepeated) {
    Harness h;
    h.addUnit();
    h.answer({1});
    MainWindow w(h.session);
    w.load();
    w.load();
    EXPECT_EQ(h.transport.written.size(), 1u);
    EXPECT_EQ(h.transport.listCalls, 1);
}

TEST(ConnectionCheck, RefusedUnitExplainsItselfInTheToolTip) {
    for (const auto& [error, says] :
         {std::pair{link::OpenError::NotPermitted, "70-kavo3.rules"},
          std::pair{link::OpenError::Busy, "in use by another program (PID 4242)"}}) {
        Harness h;
        h.addUnit();
        h.transport.interfaces[0].openError = error;
        h.transport.interfaces[0].holder = 4242;
        MainWindow w(h.session);
        w.load();
        EXPECT_EQ(w.statusLine()->text(), QString::fromUtf8(kNotConnectedText));
        EXPECT_TRUE(w.statusLine()->toolTip().contains(says)) << says;
        EXPECT_TRUE(h.transport.written.empty());
    }
}

TEST(ConnectionCheck, AUnitThatStallsLaterSaysSoInTheToolTipAtOnce) {
    Harness h;
    h.addUnit();
    h.answer({1});
    MainWindow w(h.session);
    w.load();
    EXPECT_TRUE(w.statusLine()->toolTip().isEmpty());
    h.transport.writesStall = true;
    h.link.WriteReport(0x13, 0x1B, 0, 0, 0, 0, 0, 0);  // a window's command
    EXPECT_TRUE(w.statusLine()->toolTip().contains("unplug it and plug it in again"));
    EXPECT_EQ(w.statusLine()->text(), QString::fromUtf8(kConnectedText));
}

TEST(MainWindowDesign, GeometryCaptionsAndFontFollowTheDesign) {
    Harness h;
    MainWindow w(h.session);
    EXPECT_EQ(w.objectName(), "Form1");
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KAVO-3 映像信号調整TOOL Ver 1.11"));
    EXPECT_EQ(w.size(), QSize(493, 126));
    struct Expected {
        const char* name;
        const char* caption;
        QRect rect;
    };
    const Expected buttons[] = {
        {"Command1", "入出力映像信号調整", QRect(16, 80, 121, 33)},
        {"Command2", "リモートコントロール", QRect(144, 80, 121, 33)},
        {"Command10", "kavo cmd　load", QRect(272, 80, 105, 33)},
        {"Command3", "キャプチャー", QRect(384, 80, 105, 33)},
    };
    for (const auto& e : buttons) {
        auto* b = w.findChild<QPushButton*>(e.name);
        ASSERT_TRUE(b) << e.name;
        EXPECT_EQ(b->text(), QString::fromUtf8(e.caption)) << e.name;
        EXPECT_EQ(b->geometry(), e.rect) << e.name;
    }
    EXPECT_EQ(w.statusLine()->objectName(), "Text1");
    EXPECT_EQ(w.statusLine()->geometry(), QRect(24, 24, 409, 33));
    EXPECT_EQ(w.statusLine()->font().family(), QString::fromUtf8("ＭＳ Ｐゴシック"));
    EXPECT_DOUBLE_EQ(w.statusLine()->font().pointSizeF(), 11.25);
}

TEST(Closing, ClosesTheUnitAndEndsTheProgram) {
    Harness h;
    h.addUnit();
    h.answer({1});
    MainWindow w(h.session);
    w.load();
    ASSERT_EQ(h.transport.openHandles, 2);
    w.show();
    w.close();
    EXPECT_EQ(h.transport.openHandles, 0);
    EXPECT_EQ(h.ended, 1);
}

}  // namespace
}  // namespace kavo3::app

namespace kavo3::app {
namespace {

TEST(StatusLine, ProgressTextsArePacedAndTheLatestOneIsShownSoonAfter) {
    Harness h;
    MainWindow w(h.session);
    w.show();
    for (int i = 0; i < 1000; ++i) w.setProgressText(QString::number(i));
    EXPECT_EQ(w.statusText(), "999");
    EXPECT_EQ(w.statusLine()->text(), "0");  // the line took the first, the rest wait
    QElapsedTimer waited;
    waited.start();
    while (w.statusLine()->text() != "999" && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(w.statusLine()->text(), "999");
}

TEST(StatusLine, AnOrdinaryTextIsShownAtOnceAndEndsThePacing) {
    Harness h;
    MainWindow w(h.session);
    w.show();
    w.setProgressText("0byte");
    w.setProgressText("8byte");
    w.setStatusText("Download End");
    EXPECT_EQ(w.statusLine()->text(), "Download End");
    EXPECT_EQ(w.statusText(), "Download End");
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 2 * MainWindow::kProgressInterval)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(w.statusLine()->text(), "Download End");
}

}  // namespace
}  // namespace kavo3::app
