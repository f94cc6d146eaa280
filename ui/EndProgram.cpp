#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "ui/Session.h"

namespace kavo3::ui {

void endRun(Session& session) {
    const auto end = [&session] {
        session.link.Close();
        if (session.endProgram) session.endProgram();
    };
    if (!session.link.held()) {
        end();
        return;
    }
    // The close stays immediate for the user; only the process waits for the unit.
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    if (session.stopRequested) return;  // already ending
    session.stopRequested = true;
    session.link.runWhenFree(end);
}

void endProcessNow(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace kavo3::ui
