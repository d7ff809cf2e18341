#include "main_window/skin.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "main_window/window_fonts.h"

namespace vidmora::main_window {
namespace {

void panel(QPainter &p, const QRectF &r, const QColor &top, const QColor &bottom, const QColor &edge)
{
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    QPainterPath path;
    path.addRoundedRect(r, 8, 8);
    p.fillPath(path, fill);
    p.setPen(QPen(edge, 1));
    p.drawPath(path);
}

} // namespace

QPixmap makeMainSkin()
{
    QPixmap skin(kSkinWidth, kSkinHeight);
    skin.fill(Qt::white);
    QPainter p(&skin);
    p.setRenderHint(QPainter::Antialiasing, true);

    // Dark blue body.
    QLinearGradient body(0, 0, 0, kSkinHeight);
    body.setColorAt(0.0, QColor(22, 44, 104));
    body.setColorAt(1.0, QColor(10, 22, 62));
    p.fillRect(QRect(0, 0, kSkinWidth, kSkinHeight), body);

    // Title strip and bottom strip.
    p.fillRect(QRect(0, 0, kSkinWidth, 36), Qt::black);
    p.fillRect(QRect(0, 457, kSkinWidth, kSkinHeight - 457), Qt::black);
    QFont brand = designFont(FontRole::TahomaBold);
    brand.setPixelSize(18);
    p.setFont(brand);
    p.setPen(QColor(235, 240, 255));
    p.drawText(QRect(14, 0, 200, 36), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Vidmora"));
    QFont tag = designFont(FontRole::Tahoma);
    p.setFont(tag);
    p.setPen(QColor(120, 150, 210));
    p.drawText(QRect(104, 4, 300, 32), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("video downloader and converter"));

    const QColor midTop(78, 112, 176), midBottom(52, 82, 144), midEdge(140, 170, 225);
    const QColor paleTop(236, 241, 250), paleBottom(204, 216, 236), paleEdge(255, 255, 255);

    // Address row (the caption to its left stays on the dark body).
    panel(p, QRectF(118.5, 41.5, 540, 34), midTop, midBottom, midEdge);
    // Title and thumbnail, right.
    panel(p, QRectF(383.5, 97.5, 283, 230), paleTop, paleBottom, paleEdge);
    // Format box, left.
    panel(p, QRectF(131.5, 323.5, 220, 31), midTop, midBottom, midEdge);
    // View count.
    panel(p, QRectF(423.5, 331.5, 205, 39), paleTop, paleBottom, paleEdge);
    // Download list.
    panel(p, QRectF(33.5, 372.5, 621, 83), QColor(176, 176, 176), QColor(150, 150, 150), QColor(200, 200, 200));

    return skin;
}

QPixmap makeWindowIcon()
{
    QPixmap icon(32, 32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(1.5, 4.5, 29, 23), 4, 4);
    p.fillPath(frame, QColor(22, 44, 104));
    p.setPen(QPen(QColor(236, 241, 250), 1.5));
    p.drawPath(frame);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 241, 250));
    for (int x = 5; x < 28; x += 5) {
        p.drawRect(QRectF(x, 6.5, 2.5, 2.5));
        p.drawRect(QRectF(x, 23, 2.5, 2.5));
    }
    QPainterPath play;
    play.moveTo(12, 11);
    play.lineTo(22, 16);
    play.lineTo(12, 21);
    play.closeSubpath();
    p.fillPath(play, QColor(255, 170, 40));
    return icon;
}

} // namespace vidmora::main_window
