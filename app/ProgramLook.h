// What every window of the program shares from the start: the Japanese interface, its font
// and the program's icon.
#pragma once

#include <QIcon>

class QApplication;

namespace kavo3::app {

// The icon at every size it was drawn at, from the program's resources.
QIcon programIcon();

// Font substitutes, the Japanese locale and the window icon of every window.
void setUpProgramLook(QApplication& application);

}  // namespace kavo3::app
