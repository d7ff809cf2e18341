#pragma once

#include <QPixmap>
#include <QWidget>

namespace vidmora::announcement {

// The form runtime's picture control: shows its picture at the picture's own
// size from the control's top-left corner (what lies outside the control is cut
// off) and reports every pointer movement over it, with or without a button.
class ImageControl final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageControl)
public:
    explicit ImageControl(QWidget *parent = nullptr);

    const QPixmap &Picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);

signals:
    // The control's MouseMove: the buttons held, the shift state, and the
    // pointer in the control's and in screen coordinates.
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, QPoint pos, QPoint globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
};

} // namespace vidmora::announcement
