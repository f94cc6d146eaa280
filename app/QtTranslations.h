// Qt's own texts (standard buttons, file dialogs) in Japanese, as the rest of the program.
#pragma once

class QApplication;
class QTranslator;

namespace kavo3::app {

// Loads Qt's Japanese texts into qtTranslator and installs it; false when none were found.
bool installQtTranslations(QApplication& application, QTranslator& qtTranslator);

}  // namespace kavo3::app
