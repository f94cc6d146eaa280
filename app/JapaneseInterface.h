// The Japanese face of the program: the design font or a stand-in, the Japanese locale, and
// Qt's own dialog texts in Japanese.
#pragma once

class QApplication;
class QTranslator;

namespace kavo3::app {

// Installs qtTranslator into application when Qt's Japanese texts were found; false if not.
bool setUpJapaneseInterface(QApplication& application, QTranslator& qtTranslator);

}  // namespace kavo3::app
