#include "remote/RemoteWindow.h"

#include <QLabel>
#include <QPainter>
#include <charconv>

#include "ui/Design.h"
#include "remote/KeyArt.h"
#include "remote/KeyButton.h"
#include "remote/RemoteKeyPress.h"
#include "remote/PanelGroup.h"

namespace kavo3::remote {

namespace {

constexpr int kClientWidth = 3360;  // twips
constexpr int kClientHeight = 8685;

QPalette whiteText(QPalette palette) {
    palette.setColor(QPalette::WindowText, Qt::white);
    return palette;
}

QFont labelFont() {
    QFont font = ui::designFont(9);
    font.setFamilies({QString::fromUtf8(ui::kDesignFontFamily), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic")});
    return font;
}

int designNumber(std::string_view name) {
    int n = 0;
    constexpr std::string_view prefix = "Command";
    std::from_chars(name.data() + prefix.size(), name.data() + name.size(), n);
    return n;
}

}  // namespace

RemoteWindow::RemoteWindow(ui::ProgramState& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("KAVO-3　リモコン"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(ui::twips(kClientWidth), ui::twips(kClientHeight));
    setFont(labelFont());
    setPalette(whiteText(palette()));

    auto group = [this](const char* name, const QString& title, QRect twipsGeometry) {
        auto* box = new PanelGroup(title, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(twipsGeometry);
        return box;
    };
    Frame1 = group("Frame1", QStringLiteral("入力切替"), ui::twipsRect(0, 960, 3350, 975));
    Frame3 = group("Frame3", QString(), ui::twipsRect(40, 2040, 3260, 2055));
    Frame2 = group("Frame2", QString(), ui::twipsRect(120, 7560, 2415, 1095));

    auto label = [this](const char* name, const QString& text, QWidget* parent,
                        QRect twipsGeometry) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(twipsGeometry.translated(-parent->mapTo(this, QPoint(0, 0))));
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    Label4 = label("Label4", QStringLiteral("サイズ"), this, ui::twipsRect(1400, 4640, 735, 255));
    Label1 = label("Label1", QStringLiteral("音量"), Frame2, ui::twipsRect(1800, 8110, 375, 255));
    Label2 =
        label("Label2", QStringLiteral("ヘッドホン"), Frame2, ui::twipsRect(360, 8280, 1095, 375));
    Label3 = label("Label3", QStringLiteral("ミキサ"), this, ui::twipsRect(2680, 8110, 615, 255));

    for (const RemoteKey& key : remoteKeys()) {
        QWidget* parentBox = this;
        switch (key.group) {
            case KeyGroup::Frame1:
                parentBox = Frame1;
                break;
            case KeyGroup::Frame2:
                parentBox = Frame2;
                break;
            case KeyGroup::Frame3:
                parentBox = Frame3;
                break;
            case KeyGroup::Window:
                break;
        }
        auto* button = new KeyButton(key, parentBox);
        // Positions are in window coordinates; a key inside a box is placed relative to it.
        button->setGeometry(ui::twipsRect(key.left, key.top, key.width, key.height)
                                .translated(-parentBox->mapTo(this, QPoint(0, 0))));
        Command[designNumber(key.name)] = button;
        if (key.code) {
            const std::uint8_t code = *key.code;
            connect(button, &KeyButton::clicked, this, [this, code] { sendKeyCode(code); });
        } else {
            connect(button, &KeyButton::clicked, this, &RemoteWindow::powerKey);
        }
    }
}

void RemoteWindow::sendKeyCode(std::uint8_t code) { pressRemoteKey(session_.link, code); }

void RemoteWindow::powerKey() {
    // Nothing is sent and no window is asked; the whole program ends here.
    ui::endRun(session_);
}

void RemoteWindow::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (body_.isNull() || body_.devicePixelRatio() != ratio) body_ = bodyPicture(ratio);
    QPainter p(this);
    p.drawPixmap(0, 0, body_);
}

}  // namespace kavo3::remote
