#include "remote/PanelGroup.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace kavo3::remote {

PanelGroup::PanelGroup(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    setFlat(true);
    setAutoFillBackground(false);
}

void PanelGroup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font());
    const QFontMetricsF m(font());
    const QString text = title();
    const qreal titleHeight = text.isEmpty() ? 0 : m.height();
    QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    frame.setTop(frame.top() + titleHeight / 2);

    QPainterPath line;
    line.addRoundedRect(frame, 5, 5);
    QRectF titleBox;
    if (!text.isEmpty()) {
        titleBox = QRectF(9, 0, m.horizontalAdvance(text) + 6, titleHeight);
        // Leave a gap in the line where the title sits.
        QPainterPath gap;
        gap.addRect(titleBox);
        QPainterPath everything;
        everything.addRect(rect());
        p.setClipPath(everything.subtracted(gap));
    }
    p.setPen(QPen(QColor(255, 255, 255, 85), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
    p.setClipping(false);
    if (!text.isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(titleBox, Qt::AlignCenter, text);
    }
}

}  // namespace kavo3::remote
