// Grabs Form2 to a PNG: remote_screenshot <out.png> [pressed key] [zoom].
// Run with QT_QPA_PLATFORM=offscreen, and QT_SCALE_FACTOR=2 for a high-density grab.
#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>

#include "link/DeviceLink.h"
#include "link/testing/FakeTransport.h"
#include "remote/RemoteWindow.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) return 2;
    kavo3::link::testing::FakeTransport transport;
    kavo3::link::DeviceLink link(transport, std::chrono::milliseconds(1));
    kavo3::ui::SettleClock clock;
    kavo3::ui::ProgramState session{link, clock, {}, [] {}};
    kavo3::remote::RemoteWindow window(session);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    if (argc > 2) {
        if (auto* key = window.findChild<QAbstractButton*>(QString::fromUtf8(argv[2]))) {
            key->setDown(true);
            key->setFocus();
        }
    }
    QApplication::processEvents();
    QPixmap shot = window.grab();
    if (argc > 3) {
        const int zoom = QString::fromUtf8(argv[3]).toInt();
        shot = shot.scaled(shot.size() * zoom, Qt::KeepAspectRatio, Qt::FastTransformation);
    }
    return shot.save(QString::fromUtf8(argv[1])) ? 0 : 1;
}
