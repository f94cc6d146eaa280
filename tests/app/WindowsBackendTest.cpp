// The main window over the Windows HID backend on a PC without a unit (under Wine: its own
// virtual mouse and keyboard), as kavo3tool runs there.
#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/MainWindow.h"
#include "link/Trace.h"
#include "link/windows/WinHidTransport.h"

namespace kavo3::app {
namespace {

TEST(WindowsBackend, WithoutAUnitTheMainWindowSaysNotConnectedAndTheTraceShowsTheSearch) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString tracePath = dir.filePath(QStringLiteral("trace.txt"));
    std::unique_ptr<link::Trace> trace = link::Trace::open(tracePath.toStdString());
    ASSERT_TRUE(trace);

    link::windows::WinHidTransport transport;
    link::DeviceLink link(transport, std::chrono::milliseconds(50), trace.get());
    ui::SettleClock clock;
    ui::ProgramState session{link, clock, {}, [] {}};
    MainWindow window(session);
    window.load();

    EXPECT_EQ(window.statusLine()->text(), QString::fromUtf8(kNotConnectedText));
    for (const char* name : {"Command1", "Command2", "Command3", "Command10"})
        EXPECT_FALSE(window.findChild<QPushButton*>(name)->isEnabled()) << name;

    trace.reset();
    QFile file(tracePath);
    // Text mode: the trace ends its lines as the platform does.
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^# search: \\d+ HID interface\\(s\\)$"))
                    .match(lines.first())
                    .hasMatch())
        << lines.first().toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("# search: no unit found"));
    // Nothing went to a unit that is not there.
    for (const QString& line : lines) EXPECT_TRUE(line.startsWith('#')) << line.toStdString();
}

}  // namespace
}  // namespace kavo3::app
