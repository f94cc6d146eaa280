#include "app/ProgramWindows.h"

#include "app/MainWindow.h"

namespace kavo3::app {

ProgramWindows::ProgramWindows(Session& session, MainWindow& mainWindow)
    : session_(session), mainWindow_(mainWindow) {}

ProgramWindows::~ProgramWindows() = default;

}  // namespace kavo3::app
