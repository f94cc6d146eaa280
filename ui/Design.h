// Window designs are given in twips; 15 twips make one device-independent pixel.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

namespace kavo3::ui {

constexpr int twips(int t) { return (t + 7) / 15; }

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

inline void placeInTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsRect(left, top, width, height));
}

// The design's Japanese UI font; falls back to an installed Japanese font.
inline constexpr const char* kDesignFontFamily = "ＭＳ Ｐゴシック";

inline QFont designFont(double points) {
    QFont f(QString::fromUtf8(kDesignFontFamily));
    // Where the design's font is missing, a Japanese font of the same kind stands in.
    f.setFamilies({QString::fromUtf8(kDesignFontFamily), QStringLiteral("IPAPGothic")});
    f.setPointSizeF(points);
    return f;
}

}  // namespace kavo3::ui
