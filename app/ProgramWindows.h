// The windows that the main window opens, and the state of each that lives for the run.
// Each window is created and loaded on first use and shown again while it is open.
#pragma once

#include <QObject>
#include <QPointer>

#include "app/Session.h"

namespace kavo3::app {

class MainWindow;

class ProgramWindows : public QObject {
    Q_OBJECT
public:
    ProgramWindows(Session& session, MainWindow& mainWindow);
    ~ProgramWindows() override;

private:
    Session& session_;
    MainWindow& mainWindow_;
};

}  // namespace kavo3::app
