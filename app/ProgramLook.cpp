#include "app/ProgramLook.h"

#include <QApplication>
#include <QFont>
#include <QLocale>

#include "ui/Design.h"

namespace kavo3::app {

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/kavo3/kavo3tool-%1.png").arg(size), QSize(size, size));
    return icon;
}

void setUpProgramLook(QApplication& application) {
    // Without the design's Windows font, a Japanese font of our own keeps every glyph.
    QFont::insertSubstitutions(QString::fromUtf8(ui::kDesignFontFamily),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                QStringLiteral("Noto Sans CJK JP")});
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    application.setWindowIcon(programIcon());
}

}  // namespace kavo3::app
