#include "app/JapaneseInterface.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/Design.h"

namespace kavo3::app {

bool setUpJapaneseInterface(QApplication& application, QTranslator& qtTranslator) {
    // Without the design's Windows font, a Japanese font of our own keeps every glyph.
    QFont::insertSubstitutions(QString::fromUtf8(kDesignFontFamily),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                QStringLiteral("Noto Sans CJK JP")});
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
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
