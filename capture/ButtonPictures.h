// The 64 × 32 pictures shown on the capture window's buttons, drawn rather than stored.
#pragma once

#include <QPixmap>

namespace kavo3::capture {

inline constexpr int kButtonPictureWidth = 64;
inline constexpr int kButtonPictureHeight = 32;

QPixmap pausePicture();       // freeze
QPixmap cameraPicture();      // capture
QPixmap crossPicture();       // stop
QPixmap saveToDiskPicture();  // an arrow into a floppy disk
QPixmap exitPicture();        // an arrow into an open door

}  // namespace kavo3::capture
