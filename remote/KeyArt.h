// The artwork of the remote-control panel, drawn in code so that it stays sharp at any
// device pixel ratio: the remote's body and the face of every key.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QSize>

#include "remote/RemoteKeys.h"

class QPainter;

namespace kavo3::remote {

enum class KeyState { Normal, Pressed, Disabled };

// Size of the body picture in device-independent pixels.
inline constexpr QSize kBodyPictureSize{225, 579};

// Paints the body picture in its own units (0,0 to 225 x 579).
void paintRemoteBody(QPainter& painter);
QPixmap bodyPicture(qreal devicePixelRatio);

// Paints the key's face so that it fills `target`; the face is designed at the key's picture
// size and scaled from there.
void paintKeyFace(QPainter& painter, const QRectF& target, const RemoteKey& key, KeyState state);

// The key's picture at its picture size, rendered for the given device pixel ratio.
QPixmap keyPicture(const RemoteKey& key, qreal devicePixelRatio, KeyState state = KeyState::Normal);

// An icon that draws the face afresh for every size and ratio it is asked for.
// Selected mode is the pressed face, Disabled mode the greyed one.
QIcon keyIcon(const RemoteKey& key);

// Colour of the key's legend; the focus mark is drawn in it too.
QColor keyInk(const RemoteKey& key);

// The face font: the design font, or IPA P Gothic where it is not installed.
QFont panelFont(int pixelSize);

}  // namespace kavo3::remote
