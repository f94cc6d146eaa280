#include "remote/KeyButton.h"

#include <QPainter>
#include <QPainterPath>

#include "remote/KeyArt.h"

namespace kavo3::remote {

namespace {
QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
}  // namespace

KeyButton::KeyButton(const RemoteKey& key, QWidget* parent) : QAbstractButton(parent), key_(key) {
    setObjectName(qs(key.name));
    const auto [w, h] = pictureSize(key.picture);
    setIcon(keyIcon(key));
    setIconSize(QSize(w, h));
    setAccessibleName(qs(key.legend));
    if (key.context.empty()) {
        setToolTip(qs(key.legend));
    } else {
        setAccessibleDescription(qs(key.context));
        setToolTip(qs(key.context) + QStringLiteral("：") + qs(key.legend));
    }
    // One click, one code: a held key does not repeat.
    setAutoRepeat(false);
    setCursor(Qt::PointingHandCursor);
}

QSize KeyButton::sizeHint() const { return iconSize(); }

void KeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QIcon::Mode mode = !isEnabled() ? QIcon::Disabled
                             : isDown()   ? QIcon::Selected
                                          : QIcon::Normal;
    // Painted straight onto the widget, so the face is drawn at the screen's own resolution.
    icon().paint(&p, rect(), Qt::AlignCenter, mode);

    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing);
        QColor ink = keyInk(key_);
        ink.setAlpha(170);
        QPen pen(ink, 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QRectF r = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
        if (key_.picture == KeyPicture::Corner)
            p.drawEllipse(r);
        else
            p.drawRoundedRect(r, 3, 3);
    }
}

}  // namespace kavo3::remote
