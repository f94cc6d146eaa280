// One key of the remote panel: a picture button whose face is the key's own picture and which
// carries no caption text.
#pragma once

#include <QAbstractButton>

#include "remote/RemoteKeys.h"

namespace kavo3::remote {

class KeyButton : public QAbstractButton {
    Q_OBJECT
public:
    KeyButton(const RemoteKey& key, QWidget* parent);

    const RemoteKey& key() const { return key_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const RemoteKey& key_;
};

}  // namespace kavo3::remote
