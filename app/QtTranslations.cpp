#include "app/QtTranslations.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kavo3::app {

bool installQtTranslations(QApplication& application, QTranslator& qtTranslator) {
    // A Windows build carries the texts inside the program (there is no system Qt to ship
    // them); elsewhere they come with the system's Qt.
    const bool found =
        qtTranslator.load(QStringLiteral("qtbase_ja"), QStringLiteral(":/i18n")) ||
        qtTranslator.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (found) application.installTranslator(&qtTranslator);
    return found;
}

}  // namespace kavo3::app
