#include "platform/gui/label.h"
#include "platform/gui/access_key_text.h"

#include <QEvent>
#include <QMouseEvent>
#include <QResizeEvent>
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
    return displayHtml(caption, caption.size());
}

QString Label::displayHtml(const QString &caption, qsizetype maxChars)
{
    // One pass, written straight into storage reserved up front: long captions
    // cost time in proportion to their length only.
    const qsizetype n = qMin(caption.size(), qMax<qsizetype>(0, maxChars));
    QString html;
    html.reserve(n + n / 8 + 16);
    bool keyDone = false;
    forEachShownChar(caption, n, LastAmpersand::Shown, [&](QChar c, bool marked) {
        const bool underline = marked && !keyDone;
        keyDone = keyDone || marked;
        if (underline)
            html += QLatin1String("<u>");
        switch (c.unicode()) {
        case '<': html += QLatin1String("&lt;"); break;
        case '>': html += QLatin1String("&gt;"); break;
        case '&': html += QLatin1String("&amp;"); break;
        case '"': html += QLatin1String("&quot;"); break;
        case '\n': html += QLatin1String("<br>"); break;
        case '\r': break;
        default: html += c; break;
        }
        if (underline)
            html += QLatin1String("</u>");
    });
    return html;
}

qsizetype Label::shownCharsBound() const
{
    // No character that takes room is narrower than a pixel, and no line is
    // lower than the font's line spacing: what lies past this many characters
    // can never be seen in the label, and the layout need not be built for it.
    const int spacing = qMax(1, fontMetrics().lineSpacing());
    const qsizetype lines = qMax(1, height()) / spacing + 2;
    const qsizetype perLine = qMax(1, width()) + 1;
    return qMax<qsizetype>(4096, 2 * lines * perLine);
}

void Label::setCaption(const QString &caption)
{
    m_caption = caption;
    showCaption();
}

void Label::showCaption()
{
    m_shownBound = shownCharsBound();
    // Keep runs of blanks as the caption has them.
    setText(QStringLiteral("<span style=\"white-space:pre-wrap\">") + displayHtml(m_caption, m_shownBound)
            + QStringLiteral("</span>"));
}

void Label::showMoreIfRoom()
{
    // A label that grows, or whose font gets smaller, may show more of a
    // caption that was cut for its old room.
    if (m_caption.size() > m_shownBound && shownCharsBound() > m_shownBound)
        showCaption();
}

void Label::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    showMoreIfRoom();
}

void Label::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        showMoreIfRoom();
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

void RectangleShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace vidmora::platform
