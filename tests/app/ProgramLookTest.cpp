// What every window of the program looks like from the start: the program's icon, one face for
// every control, and names a screen reader can tell apart; against the simulated unit.
#include "app/ProgramLook.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QPushButton>
#include <QScrollBar>

#include "ui/Design.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "sim/SimTransport.h"
#include "timing/TimingParameters.h"

namespace kavo3::app {
namespace {

using namespace std::chrono_literals;

struct OpenProgram {
    sim::SimTransport transport;
    link::DeviceLink link{transport, 20ms};
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow mainWindow{session};
    ProgramWindows windows{session, mainWindow};

    OpenProgram() {
        setUpProgramLook(*qApp);
        mainWindow.load();
        mainWindow.show();
        windows.showTimingWindow();
        windows.showRemoteWindow();
        windows.showCaptureWindow();
    }
    std::vector<QWidget*> all() {
        return {&mainWindow, windows.timingWindow(),
                windows.remoteWindow(), windows.captureWindow()};
    }
};

QString accessibleName(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

TEST(ProgramLook, EveryWindowCarriesTheProgramsIconAtEverySize) {
    OpenProgram p;
    for (QWidget* window : p.all()) {
        ASSERT_NE(window, nullptr);
        const QIcon icon = window->windowIcon();
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 32, 48, 256})
            EXPECT_TRUE(sizes.contains(QSize(size, size)))
                << window->objectName().toStdString() << " lacks " << size;
        // The resource really is in the program: the smallest size has pixels.
        EXPECT_FALSE(icon.pixmap(16).toImage().isNull()) << window->objectName().toStdString();
    }
}

TEST(ProgramLook, EveryControlWithoutAFontOfItsOwnTakesTheDesignDefault) {
    OpenProgram p;
    // The design's own sizes: the status lines; every other control is 9 pt.
    const std::map<QString, double> ownSizes{{"Form1/Text1", 11.25}, {"Form5/Text1", 12}};
    const QString designFamily = QString::fromUtf8(ui::kDesignFontFamily);
    const QString drawnFace = QFontInfo(ui::designFont(9)).family();
    int checked = 0;
    for (QWidget* window : p.all()) {
        for (QWidget* control : window->findChildren<QWidget*>()) {
            // Qt's own parts of a control follow the control.
            if (control->objectName().isEmpty() || control->objectName().startsWith("qt_"))
                continue;
            const QString key = window->objectName() + "/" + control->objectName();
            const auto own = ownSizes.find(key);
            const QFont font = control->font();
            EXPECT_EQ(font.family(), designFamily) << key.toStdString();
            EXPECT_DOUBLE_EQ(font.pointSizeF(), own == ownSizes.end() ? 9.0 : own->second)
                << key.toStdString();
            EXPECT_EQ(QFontInfo(font).family(), drawnFace) << key.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 60);
    // The button that once came out in another face.
    EXPECT_EQ(p.mainWindow.findChild<QPushButton*>("Command10")->font().family(), designFamily);
}

TEST(ProgramLook, EveryTimingSliderAndValueBoxHasANameOfItsOwn) {
    OpenProgram p;
    QWidget* timing = p.windows.timingWindow();
    ASSERT_NE(timing, nullptr);
    QStringList names;
    for (const auto& parameter : timing::kTimingParameters) {
        const QString name = QString::fromUtf8(parameter.name);
        auto* slider = timing->findChild<QScrollBar*>(name);
        auto* box = timing->findChild<QWidget*>(name + "_txt");
        ASSERT_NE(slider, nullptr) << parameter.name;
        ASSERT_NE(box, nullptr) << parameter.name;
        EXPECT_EQ(accessibleName(slider), name);
        EXPECT_EQ(accessibleName(box), name + " value");
        names << accessibleName(slider) << accessibleName(box);
    }
    EXPECT_EQ(names.size(), 28);
    EXPECT_EQ(names.removeDuplicates(), 0);
    // Buttons keep their captions.
    for (QWidget* window : p.all()) {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty()) continue;
            EXPECT_EQ(accessibleName(button), button->text()) << button->objectName().toStdString();
        }
    }
}

}  // namespace
}  // namespace kavo3::app
