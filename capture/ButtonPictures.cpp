#include "capture/ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace kavo3::capture {

namespace {

QPixmap blank() {
    QPixmap p(kButtonPictureWidth, kButtonPictureHeight);
    p.fill(Qt::transparent);
    return p;
}

void prepare(QPainter& painter) { painter.setRenderHint(QPainter::Antialiasing); }

// A right-pointing arrow whose tip is at `tip`.
void drawArrow(QPainter& painter, QPointF tip, qreal length, const QColor& colour) {
    const qreal head = 8;
    QPolygonF arrow;
    arrow << QPointF(tip.x() - length, tip.y() - 3) << QPointF(tip.x() - head, tip.y() - 3)
          << QPointF(tip.x() - head, tip.y() - 8) << tip << QPointF(tip.x() - head, tip.y() + 8)
          << QPointF(tip.x() - head, tip.y() + 3) << QPointF(tip.x() - length, tip.y() + 3);
    painter.setPen(QPen(colour.darker(150), 1));
    painter.setBrush(colour);
    painter.drawPolygon(arrow);
}

}  // namespace

QPixmap pausePicture() {
    QPixmap p = blank();
    QPainter painter(&p);
    prepare(painter);
    painter.setPen(QPen(QColor(0, 0, 96), 1));
    painter.setBrush(QColor(32, 64, 192));
    painter.drawRoundedRect(QRectF(22, 4, 7, 24), 1.5, 1.5);
    painter.drawRoundedRect(QRectF(35, 4, 7, 24), 1.5, 1.5);
    return p;
}

QPixmap cameraPicture() {
    QPixmap p = blank();
    QPainter painter(&p);
    prepare(painter);
    painter.setPen(QPen(QColor(32, 32, 32), 1));
    painter.setBrush(QColor(72, 72, 80));
    painter.drawRoundedRect(QRectF(26, 5, 12, 5), 1, 1);   // viewfinder hump
    painter.drawRoundedRect(QRectF(16, 8, 32, 20), 3, 3);  // body
    painter.setBrush(QColor(230, 230, 235));
    painter.drawEllipse(QPointF(32, 18), 7.5, 7.5);  // lens ring
    painter.setBrush(QColor(40, 70, 140));
    painter.drawEllipse(QPointF(32, 18), 4.5, 4.5);  // glass
    painter.setBrush(QColor(255, 220, 64));
    painter.drawRect(QRectF(42, 11, 4, 3));  // flash
    return p;
}

QPixmap crossPicture() {
    QPixmap p = blank();
    QPainter painter(&p);
    prepare(painter);
    painter.setPen(QPen(QColor(200, 24, 24), 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(22, 6), QPointF(42, 26));
    painter.drawLine(QPointF(42, 6), QPointF(22, 26));
    return p;
}

QPixmap saveToDiskPicture() {
    QPixmap p = blank();
    QPainter painter(&p);
    prepare(painter);
    // The disk: a square with a cut corner, a metal shutter and a label.
    QPainterPath disk;
    disk.moveTo(34, 4);
    disk.lineTo(56, 4);
    disk.lineTo(60, 8);
    disk.lineTo(60, 28);
    disk.lineTo(34, 28);
    disk.closeSubpath();
    painter.setPen(QPen(QColor(16, 16, 48), 1));
    painter.setBrush(QColor(48, 64, 128));
    painter.drawPath(disk);
    painter.setBrush(QColor(190, 190, 200));
    painter.drawRect(QRectF(40, 4, 13, 8));
    painter.setBrush(QColor(64, 64, 128));
    painter.drawRect(QRectF(48, 5, 3, 6));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(38, 16, 18, 12));
    drawArrow(painter, QPointF(44, 22), 40, QColor(32, 160, 48));
    return p;
}

QPixmap exitPicture() {
    QPixmap p = blank();
    QPainter painter(&p);
    prepare(painter);
    // The doorway, dark inside, with the door swung open towards the viewer.
    painter.setPen(QPen(QColor(80, 48, 16), 1));
    painter.setBrush(QColor(40, 32, 24));
    painter.drawRect(QRectF(40, 3, 16, 26));
    QPolygonF door;
    door << QPointF(56, 3) << QPointF(62, 1) << QPointF(62, 31) << QPointF(56, 29);
    painter.setBrush(QColor(176, 112, 48));
    painter.drawPolygon(door);
    painter.setBrush(QColor(240, 200, 64));
    painter.drawEllipse(QPointF(60, 17), 1, 1);  // knob
    drawArrow(painter, QPointF(52, 16), 46, QColor(32, 160, 48));
    return p;
}

}  // namespace kavo3::capture
