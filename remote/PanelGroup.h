// A group box drawn for the dark body of the remote: a faint rounded line and a white title,
// with nothing filled in, so the body shows through.
#pragma once

#include <QGroupBox>

namespace kavo3::remote {

class PanelGroup : public QGroupBox {
    Q_OBJECT
public:
    PanelGroup(const QString& title, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kavo3::remote
