#include "app/Program.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/Design.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "link/DeviceLink.h"
#include "link/Trace.h"

namespace kavo3::app {

static void setUpJapaneseInterface(QApplication& application, QTranslator& qtTranslator) {
    // Without the design's Windows font, a Japanese font of our own keeps every glyph.
    QFont::insertSubstitutions(QString::fromUtf8(kDesignFontFamily),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                QStringLiteral("Noto Sans CJK JP")});
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    if (qtTranslator.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&qtTranslator);
}

int runProgram(int argc, char** argv, link::Transport& transport) {
    QApplication application(argc, argv);
    QTranslator qtTranslator;
    setUpJapaneseInterface(application, qtTranslator);

    const std::unique_ptr<link::Trace> trace = link::Trace::fromEnvironment();
    link::DeviceLink link(transport, link::DeviceLink::kReadWait, trace.get());
    SettleClock clock;
    Session session{link, clock, {}, [] { endProcessNow(); }};

    MainWindow mainWindow(session);
    ProgramWindows windows(session, mainWindow);
    mainWindow.load();
    mainWindow.show();
    return application.exec();
}

}  // namespace kavo3::app
