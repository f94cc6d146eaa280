#include "capture/PictureBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kavo3::capture {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

QColor PictureBox::background() const { return palette().color(QPalette::Button); }

void PictureBox::clear(int frameWidth, int frameHeight) {
    picture_ = QImage(frameWidth, frameHeight, QImage::Format_RGB32);
    picture_.fill(background());
    update();
}

void PictureBox::drawLine(int y, std::span<const std::uint8_t> bgr) {
    if (y < 0 || y >= picture_.height()) return;
    auto* out = reinterpret_cast<QRgb*>(picture_.scanLine(y));
    const int pixels = std::min<int>(picture_.width(), static_cast<int>(bgr.size() / 3));
    for (int x = 0; x < pixels; ++x) out[x] = qRgb(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
    // Only the strip of this line is repainted, and only when events next run.
    update(boxRectOfLine(y));
}

QRect PictureBox::boxRectOfLine(int y) const {
    const double perLine = static_cast<double>(height()) / picture_.height();
    const int top = static_cast<int>(std::floor(y * perLine));
    const int bottom = static_cast<int>(std::ceil((y + 1) * perLine));
    return QRect(0, top, width(), std::max(1, bottom - top));
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    if (picture_.isNull()) {
        painter.fillRect(area, background());
        return;
    }
    const double sx = static_cast<double>(picture_.width()) / width();
    const double sy = static_cast<double>(picture_.height()) / height();
    const QRectF source(area.x() * sx, area.y() * sy, area.width() * sx, area.height() * sy);
    painter.drawImage(QRectF(area), picture_, source);
}

}  // namespace kavo3::capture
