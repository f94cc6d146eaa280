#include "remote/KeyArt.h"

#include <QFontMetricsF>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "ui/Design.h"

namespace kavo3::remote {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// Colours of one kind of key: face gradient top and bottom, rim, legend ink.
struct KeyColours {
    QColor top;
    QColor bottom;
    QColor rim;
    QColor ink;
};

bool isCursorKey(const RemoteKey& key) {
    switch (key.face) {
        case KeyFace::Up:
        case KeyFace::Down:
        case KeyFace::Left:
        case KeyFace::Right:
            return true;
        default:
            return key.name == "Command22";  // PC in P, the centre of the pad
    }
}

KeyColours coloursFor(const RemoteKey& key) {
    if (key.picture == KeyPicture::Power)
        return {QColor(0x2a, 0x2d, 0x31), QColor(0x0d, 0x0e, 0x10), QColor(0x05, 0x05, 0x06),
                QColor(0x3d, 0xe0, 0x6a)};
    if (isCursorKey(key))
        return {QColor(0xc9, 0xcd, 0xd2), QColor(0x8e, 0x94, 0x9b), QColor(0x2a, 0x2d, 0x31),
                QColor(0x1b, 0x1d, 0x20)};
    if (key.name == "Command4")  // OK
        return {QColor(0x4a, 0x7f, 0xbf), QColor(0x24, 0x4e, 0x82), QColor(0x10, 0x20, 0x36),
                QColor(0xf4, 0xf6, 0xf8)};
    if (key.picture == KeyPicture::Corner)
        return {QColor(0x6b, 0x70, 0x77), QColor(0x3c, 0x40, 0x45), QColor(0x12, 0x13, 0x15),
                QColor(0xf0, 0xf2, 0xf4)};
    return {QColor(0x5c, 0x61, 0x68), QColor(0x36, 0x3a, 0x3f), QColor(0x12, 0x13, 0x15),
            QColor(0xf2, 0xf4, 0xf6)};
}

QPainterPath keyOutline(const RemoteKey& key, const QRectF& r) {
    QPainterPath path;
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    switch (key.picture) {
        case KeyPicture::Corner:
            path.addEllipse(body);
            break;
        case KeyPicture::Power:
            path.addRoundedRect(body, 13, 13);
            break;
        case KeyPicture::Large:
            path.addRoundedRect(body, 6, 6);
            break;
        case KeyPicture::Small:
            path.addRoundedRect(body, 4.5, 4.5);
            break;
    }
    return path;
}

void drawKeyBody(QPainter& p, const RemoteKey& key, const QRectF& r, KeyState state) {
    KeyColours c = coloursFor(key);
    if (state == KeyState::Pressed) {
        c.top = c.top.darker(125);
        c.bottom = c.bottom.darker(115);
    } else if (state == KeyState::Disabled) {
        c.top = c.top.darker(140);
        c.bottom = c.bottom.darker(140);
    }
    const QPainterPath outline = keyOutline(key, r);

    QLinearGradient face(r.topLeft(), r.bottomLeft());
    // A pressed key is lit from below: the gradient turns round.
    face.setColorAt(0, state == KeyState::Pressed ? c.bottom : c.top);
    face.setColorAt(1, state == KeyState::Pressed ? c.top : c.bottom);
    p.setPen(QPen(c.rim, 1));
    p.setBrush(face);
    p.drawPath(outline);

    if (state != KeyState::Pressed) {
        // A thin highlight inside the upper rim, as on a moulded key.
        p.save();
        p.setClipPath(outline);
        QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.top() + r.height() * 0.5));
        gloss.setColorAt(0, QColor(255, 255, 255, 70));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(QPen(QBrush(gloss), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(keyOutline(key, r.adjusted(1, 1, -1, -1)));
        p.restore();
    }
}

// Largest font that fits the legend into `box`. A long legend is first set a little condensed,
// as printed legends are, and only then smaller; small text is what is hard to read.
QFont fittedFont(const QString& text, const QSizeF& box, int largest) {
    constexpr int kSmallest = 8;
    constexpr qreal kMostCondensed = 0.75;
    QFont font;
    for (int px = largest; px >= kSmallest; --px) {
        font = panelFont(px);
        const QFontMetricsF m(font);
        if (m.height() > box.height() + 2) continue;
        const qreal room = box.width() / m.horizontalAdvance(text);
        if (room >= 1) return font;
        if (room >= kMostCondensed || px == kSmallest) {
            font.setStretch(std::max(55, int(std::floor(room * 100))));
            return font;
        }
    }
    return font;
}

void drawLegendText(QPainter& p, const RemoteKey& key, const QRectF& r, const QColor& ink) {
    const QString text = qs(key.legend);
    const QRectF box = r.adjusted(2.5, 1, -2.5, -1);
    const int largest = key.picture == KeyPicture::Small ? 11 : 12;
    const QFont font = fittedFont(text, box.size(), largest);
    p.setFont(font);
    // A faint shadow under light ink lifts it off the face.
    if (ink.lightness() > 128) {
        p.setPen(QColor(0, 0, 0, 110));
        p.drawText(box.translated(0, 0.6), Qt::AlignCenter, text);
    }
    p.setPen(ink);
    p.drawText(box, Qt::AlignCenter, text);
}

QPolygonF triangle(QPointF centre, qreal size, KeyFace direction) {
    const qreal a = size / 2;     // half the length along the pointing direction
    const qreal b = size * 0.62;  // half the base
    switch (direction) {
        case KeyFace::Up:
            return {{centre + QPointF(0, -a), centre + QPointF(b, a), centre + QPointF(-b, a)}};
        case KeyFace::Down:
            return {{centre + QPointF(0, a), centre + QPointF(-b, -a), centre + QPointF(b, -a)}};
        case KeyFace::Left:
            return {{centre + QPointF(-a, 0), centre + QPointF(a, -b), centre + QPointF(a, b)}};
        default:
            return {{centre + QPointF(a, 0), centre + QPointF(-a, b), centre + QPointF(-a, -b)}};
    }
}

void drawTriangle(QPainter& p, QPointF centre, qreal size, KeyFace direction, const QColor& ink) {
    p.setPen(QPen(ink, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ink);
    p.drawPolygon(triangle(centre, size, direction));
}

// "▲/◀" and "▼/▶": two small triangles with a slash between them.
void drawPair(QPainter& p, const QRectF& r, KeyFace first, KeyFace second, const QColor& ink) {
    const QPointF c = r.center();
    const qreal size = r.height() * 0.30;
    drawTriangle(p, c + QPointF(-10, 0), size, first, ink);
    drawTriangle(p, c + QPointF(10, 0), size, second, ink);
    p.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(2.5, -5.5), c + QPointF(-2.5, 5.5));
}

// An arrow pointing into one corner, with the corner itself drawn as a small bracket.
void drawCornerArrow(QPainter& p, const QRectF& r, int dx, int dy, const QColor& ink) {
    const QPointF c = r.center();
    const QPointF tip = c + QPointF(dx * 5.5, dy * 5.5);
    const QPointF tail = c - QPointF(dx * 4.5, dy * 4.5);
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(tail, tip - QPointF(dx * 1.5, dy * 1.5));
    // Arrow head: a filled triangle whose point is the tip.
    const QPointF back = tip - QPointF(dx * 4.2, dy * 4.2);
    const QPointF side(dy * 2.6, -dx * 2.6);  // perpendicular to the shaft
    p.setPen(QPen(ink, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ink);
    p.drawPolygon(QPolygonF{{tip, back + side, back - side}});
}

void drawPowerSymbol(QPainter& p, const QRectF& r, const QColor& ink) {
    const QPointF c = r.center() + QPointF(0, 0.8);
    const qreal radius = r.height() * 0.24;
    const QRectF circle(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    auto stroke = [&](qreal width, const QColor& colour) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        // The ring is open at the top (from 60 to 120 degrees), where the bar goes through.
        p.drawArc(circle, 120 * 16, 300 * 16);
        p.drawLine(c + QPointF(0, -radius - 2.2), c + QPointF(0, -1.5));
    };
    QColor glow = ink;
    glow.setAlpha(60);
    stroke(5.5, glow);
    stroke(2.4, ink);
}

class KeyFaceEngine : public QIconEngine {
  public:
    explicit KeyFaceEngine(const RemoteKey& key) : key_(key) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        paintKeyFace(*painter, rect, key_, stateFor(mode));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in device pixels; the face is drawn in full at that resolution.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintKeyFace(p, QRectF(QPointF(0, 0), QSizeF(size)), key_, stateFor(mode));
        p.end();
        pm.setDevicePixelRatio(scale);
        return pm;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        const auto [w, h] = pictureSize(key_.picture);
        return {QSize(w, h)};
    }

    QIconEngine* clone() const override { return new KeyFaceEngine(key_); }
    QString key() const override { return QStringLiteral("KeyFaceEngine"); }

  private:
    static KeyState stateFor(QIcon::Mode mode) {
        switch (mode) {
            case QIcon::Selected:
                return KeyState::Pressed;
            case QIcon::Disabled:
                return KeyState::Disabled;
            default:
                return KeyState::Normal;
        }
    }

    const RemoteKey& key_;
};

}  // namespace

QColor keyInk(const RemoteKey& key) { return coloursFor(key).ink; }

QFont panelFont(int pixelSize) {
    QFont font = ui::designFont(9);
    font.setFamilies({QString::fromUtf8(ui::kDesignFontFamily), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic")});
    font.setPixelSize(pixelSize);
    return font;
}

void paintKeyFace(QPainter& p, const QRectF& target, const RemoteKey& key, KeyState state) {
    const auto [w, h] = pictureSize(key.picture);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.translate(target.topLeft());
    p.scale(target.width() / w, target.height() / h);

    const QRectF r(0, 0, w, h);
    drawKeyBody(p, key, r, state);

    QColor ink = coloursFor(key).ink;
    if (state == KeyState::Disabled) ink.setAlpha(110);
    // The legend sinks a little with the pressed key.
    const QRectF face = state == KeyState::Pressed ? r.translated(0.4, 0.8) : r;

    switch (key.face) {
        case KeyFace::Text:
            drawLegendText(p, key, face, ink);
            break;
        case KeyFace::Power:
            drawPowerSymbol(p, face, ink);
            break;
        case KeyFace::Up:
        case KeyFace::Down:
        case KeyFace::Left:
        case KeyFace::Right:
            drawTriangle(p, face.center(), h * 0.40, key.face, ink);
            break;
        case KeyFace::UpOrLeft:
            drawPair(p, face, KeyFace::Up, KeyFace::Left, ink);
            break;
        case KeyFace::DownOrRight:
            drawPair(p, face, KeyFace::Down, KeyFace::Right, ink);
            break;
        case KeyFace::CornerTopLeft:
            drawCornerArrow(p, face, -1, -1, ink);
            break;
        case KeyFace::CornerTopRight:
            drawCornerArrow(p, face, 1, -1, ink);
            break;
        case KeyFace::CornerBottomLeft:
            drawCornerArrow(p, face, -1, 1, ink);
            break;
        case KeyFace::CornerBottomRight:
            drawCornerArrow(p, face, 1, 1, ink);
            break;
    }
    p.restore();
}

QPixmap keyPicture(const RemoteKey& key, qreal devicePixelRatio, KeyState state) {
    const auto [w, h] = pictureSize(key.picture);
    QPixmap pm(QSize(int(std::ceil(w * devicePixelRatio)), int(std::ceil(h * devicePixelRatio))));
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paintKeyFace(p, QRectF(0, 0, w, h), key, state);
    return pm;
}

QIcon keyIcon(const RemoteKey& key) {
    // The icon owns its engine.
    return QIcon(new KeyFaceEngine(key));
}

void paintRemoteBody(QPainter& p) {
    const QRectF all(QPointF(0, 0), QSizeF(kBodyPictureSize));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // What shows round the rounded corners: the dialog face colour.
    p.fillRect(all, QColor(0xf0, 0xf0, 0xf0));

    // The case: rounder at the top, where the hand holds it.
    const QRectF body = all.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    constexpr qreal top = 18, bottom = 12;
    outline.moveTo(body.left(), body.top() + top);
    outline.arcTo(QRectF(body.left(), body.top(), 2 * top, 2 * top), 180, -90);
    outline.lineTo(body.right() - top, body.top());
    outline.arcTo(QRectF(body.right() - 2 * top, body.top(), 2 * top, 2 * top), 90, -90);
    outline.lineTo(body.right(), body.bottom() - bottom);
    outline.arcTo(
        QRectF(body.right() - 2 * bottom, body.bottom() - 2 * bottom, 2 * bottom, 2 * bottom), 0,
        -90);
    outline.lineTo(body.left() + bottom, body.bottom());
    outline.arcTo(QRectF(body.left(), body.bottom() - 2 * bottom, 2 * bottom, 2 * bottom), 270,
                  -90);
    outline.closeSubpath();

    // Curved sides: darker at the edges, lighter down the middle.
    QLinearGradient across(all.topLeft(), all.topRight());
    across.setColorAt(0.00, QColor(0x17, 0x19, 0x1c));
    across.setColorAt(0.12, QColor(0x2b, 0x2e, 0x33));
    across.setColorAt(0.50, QColor(0x34, 0x38, 0x3e));
    across.setColorAt(0.88, QColor(0x2b, 0x2e, 0x33));
    across.setColorAt(1.00, QColor(0x15, 0x17, 0x1a));
    p.setPen(Qt::NoPen);
    p.setBrush(across);
    p.drawPath(outline);

    p.setClipPath(outline);
    // Light from above, fading down the length.
    QLinearGradient down(all.topLeft(), all.bottomLeft());
    down.setColorAt(0.0, QColor(255, 255, 255, 26));
    down.setColorAt(0.4, QColor(255, 255, 255, 6));
    down.setColorAt(1.0, QColor(0, 0, 0, 50));
    p.setBrush(down);
    p.drawRect(all);
    // A soft sheen across the upper part.
    QRadialGradient sheen(QPointF(all.width() * 0.35, 60), 150);
    sheen.setColorAt(0, QColor(255, 255, 255, 18));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawRect(all);

    // The maker's mark, moulded into the empty stretch above the headphone keys.
    QFont mark = panelFont(15);
    mark.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
    mark.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("IPAPGothic")});
    mark.setWeight(QFont::Bold);
    p.setFont(mark);
    const QRectF markBox(0, 432, all.width(), 30);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(markBox.translated(0, 1), Qt::AlignCenter, QStringLiteral("KAVO-3"));
    p.setPen(QColor(255, 255, 255, 40));
    p.drawText(markBox, Qt::AlignCenter, QStringLiteral("KAVO-3"));
    p.setClipping(false);

    // Rim: a bright edge on top, a dark one below.
    QLinearGradient rim(all.topLeft(), all.bottomLeft());
    rim.setColorAt(0, QColor(0x8a, 0x90, 0x98));
    rim.setColorAt(0.05, QColor(0x4a, 0x4f, 0x56));
    rim.setColorAt(1, QColor(0x0a, 0x0b, 0x0c));
    p.setPen(QPen(QBrush(rim), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
    p.restore();
}

QPixmap bodyPicture(qreal devicePixelRatio) {
    const QSize size = kBodyPictureSize;
    QPixmap pm(QSize(int(std::ceil(size.width() * devicePixelRatio)),
                     int(std::ceil(size.height() * devicePixelRatio))));
    pm.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&pm);
    paintRemoteBody(p);
    return pm;
}

}  // namespace kavo3::remote
