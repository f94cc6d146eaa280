#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "ui/ProgramState.h"

namespace kavo3::ui {

void endRun(ProgramState& state) {
    const auto end = [&state] {
        state.link.close();
        if (state.endProgram) state.endProgram();
    };
    if (!state.link.held()) {
        end();
        return;
    }
    // The close stays immediate for the user; only the process waits for the unit.
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    if (state.stopRequested) return;  // already ending
    state.stopRequested = true;
    state.link.runWhenFree(end);
}

void endProcessNow(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace kavo3::ui
