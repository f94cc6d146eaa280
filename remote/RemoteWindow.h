// Form2, the remote-control window: a picture of the unit's remote with 36 keys on it.
// A key sends its code in one Remote key exchange; the power key ends the program.
// The window has no load or unload handling and no state of its own.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>

#include "ui/ProgramState.h"

class QLabel;

namespace kavo3::remote {

class KeyButton;
class PanelGroup;

class RemoteWindow : public QWidget {
    Q_OBJECT
public:
    explicit RemoteWindow(ui::ProgramState& session, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void sendKeyCode(std::uint8_t code);
    void powerKey();

    ui::ProgramState& session_;
    QPixmap body_;  // the remote's body, rendered for the current device pixel ratio

    PanelGroup* Frame1 = nullptr;
    PanelGroup* Frame2 = nullptr;
    PanelGroup* Frame3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    // Command[n] holds the key `Commandn`; index 0 is unused.
    std::array<KeyButton*, 37> Command{};
};

}  // namespace kavo3::remote
