#include "platform/gui/label.h"

#include <QMouseEvent>
#include <QPainter>

namespace vidmora::platform {

Label::Label(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setContentsMargins(0, 0, 0, 0);
    setMargin(0);
    setIndent(0);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setOpenExternalLinks(false);
}

QString Label::displayHtml(const QString &caption)
{
    QString html;
    bool keyDone = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        QChar c = caption.at(i);
        bool underline = false;
        if (c == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i;
            c = caption.at(i);
            if (c != QLatin1Char('&') && !keyDone) {
                underline = true;
                keyDone = true;
            }
        }
        QString piece = QString(c).toHtmlEscaped();
        if (c == QLatin1Char(' '))
            piece = QStringLiteral(" ");
        else if (c == QLatin1Char('\n'))
            piece = QStringLiteral("<br>");
        else if (c == QLatin1Char('\r'))
            piece.clear();
        html += underline ? QStringLiteral("<u>") + piece + QStringLiteral("</u>") : piece;
    }
    return html;
}

void Label::setCaption(const QString &caption)
{
    m_caption = caption;
    // Keep runs of blanks as the caption has them.
    setText(QStringLiteral("<span style=\"white-space:pre-wrap\">") + displayHtml(caption) + QStringLiteral("</span>"));
}

void Label::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void Label::mouseMoveEvent(QMouseEvent *event)
{
    // Kept here: passed on, a move with the left button held would drag the window.
    event->accept();
}

void Label::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

ImageBox::ImageBox(QWidget *parent)
    : QLabel(parent)
{
    setScaledContents(true);
    setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
}

void ImageBox::setPicture(const QPixmap &picture)
{
    m_hasPicture = !picture.isNull();
    if (m_hasPicture)
        setPixmap(picture);
    else
        clear();
}

void ImageBox::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void ImageBox::mouseMoveEvent(QMouseEvent *event)
{
    // As the label: the picture keeps its moves, so no drag starts on it.
    event->accept();
}

void ImageBox::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

RectangleShape::RectangleShape(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
}

void RectangleShape::setBorderColor(const QColor &color)
{
    m_border = color;
    update();
}

void RectangleShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(QPen(m_border, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace vidmora::platform
