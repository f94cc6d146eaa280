// The capture window's picture box: shows the frame scaled to the box, one line at a time
// as the lines arrive, with the nearest pixel, as plotting each point of the frame would.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <span>

namespace kavo3::capture {

class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Clears the box and sets its scale to frameWidth × frameHeight pixels.
    void clear(int frameWidth, int frameHeight);

    // Draws line y from a row of blue, green, red pixels.
    void drawLine(int y, std::span<const std::uint8_t> bgr);

    // What the box shows, one pixel per frame pixel; undrawn parts in the background colour.
    const QImage& picture() const { return picture_; }
    QColor background() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect boxRectOfLine(int y) const;

    QImage picture_;
};

}  // namespace kavo3::capture
