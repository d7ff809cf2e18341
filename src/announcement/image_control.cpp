#include "announcement/image_control.h"

#include <QMouseEvent>
#include <QPainter>

namespace vidmora::announcement {

ImageControl::ImageControl(QWidget *parent)
    : QWidget(parent)
{
    // Movement without a button is reported too, as the runtime does.
    setMouseTracking(true);
}

void ImageControl::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void ImageControl::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
}

void ImageControl::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(event->buttons(), event->modifiers(), event->position().toPoint(),
                    event->globalPosition().toPoint());
    event->accept();
}

} // namespace vidmora::announcement
