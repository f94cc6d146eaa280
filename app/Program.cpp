#include "app/Program.h"

#include <QApplication>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif
#include <QTranslator>
#include <cstdio>

#include "app/EndOnSignals.h"
#include "app/MainWindow.h"
#include "app/ProgramLook.h"
#include "app/ProgramOptions.h"
#include "app/ProgramUnitChoice.h"
#include "app/ProgramWindows.h"
#include "app/QtTranslations.h"
#include "link/DeviceLink.h"
#include "link/ProgramName.h"
#include "link/TickPeriod.h"
#include "link/Trace.h"
#include "ui/DeviceWatch.h"

namespace kavo3::app {

int runProgram(int argc, char** argv, link::Transport& transport,
               const DeviceEventsSource& deviceEvents, const UnitWords& words) {
    QApplication application(argc, argv);
    setUpProgramLook(application);
    QTranslator qtTranslator;
    installQtTranslations(application, qtTranslator);
    std::string error;
    const auto options = parseProgramOptions(application.arguments().mid(1), error);
    if (options)
        error = link::setTickPeriodFrom(options->tickMs ? options->tickMs->c_str() : nullptr);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", link::programName().c_str(), error.c_str());
        return kBadUsage;
    }

    const std::unique_ptr<link::Trace> trace = link::Trace::fromEnvironment();
    ProgramUnitChoice unitChoice(transport, options->device, trace.get());
    link::DeviceLink link(unitChoice.transport(), link::DeviceLink::kReadWait, trace.get());
    ui::SettleClock clock;
    int exitStatus = 0;
    ui::ProgramState session{link, clock, {}, [&exitStatus] { ui::endProcessNow(exitStatus); }};

    MainWindow mainWindow(session);
    ProgramWindows windows(session, mainWindow);
    mainWindow.unitNotice = [&unitChoice, &link, &words] {
        const std::string notice = unitChoice.noticeAfterCheck(link);
        if (words.toolTip.empty()) return notice;
        return notice.empty() ? words.toolTip : words.toolTip + "\n" + notice;
    };
    const std::shared_ptr<link::DeviceEvents> events =
        deviceEvents ? deviceEvents(mainWindow) : nullptr;
    std::unique_ptr<ui::DeviceWatch> watch;
    if (events) {
        if (trace) {
            const std::string problem = events->problem();
            const std::string source = events->source();
            trace->note(!problem.empty()   ? problem
                        : source.empty()   ? "device events: heard"
                                           : "device events: heard from " + source);
        }
        watch = std::make_unique<ui::DeviceWatch>(*events);
        mainWindow.listenTo(*watch);
    }
    EndOnSignals endOnSignals(session, exitStatus);
#if QT_CONFIG(sessionmanager)
    // A logout during a download's data phase: the windows go now, the rest of the data phase
    // is sent before the program ends. Outside it the session ends the program as it will.
    QObject::connect(
        &application, &QGuiApplication::commitDataRequest, &application,
        [&session](QSessionManager&) {
            if (session.link.held()) ui::endRun(session);
        },
        Qt::DirectConnection);
#endif
    mainWindow.load();
    mainWindow.show();
    return application.exec();
}

}  // namespace kavo3::app
