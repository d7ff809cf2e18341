#include "platform/gui/std_objects.h"

#include "platform/gui/gdi.h"

#include <cmath>

namespace vidmora::platform {

QFont StdFont::toQFont() const
{
    QFont f(Name);
    f.setPixelSize(std::max(1, gdi::pointsToPixels(Size)));
    f.setBold(Bold);
    f.setItalic(Italic);
    f.setUnderline(Underline);
    f.setStrikeOut(Strikethrough);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

StdFont StdFont::fromQFont(const QFont &font)
{
    StdFont f;
    f.Name = font.family();
    if (font.pointSizeF() > 0)
        f.Size = static_cast<float>(font.pointSizeF());
    else if (font.pixelSize() > 0)
        f.Size = static_cast<float>(font.pixelSize() * 72.0 / 96.0);
    f.Bold = font.bold();
    f.Italic = font.italic();
    f.Underline = font.underline();
    f.Strikethrough = font.strikeOut();
    return f;
}

std::int32_t StdPicture::pixelsToHimetric(int pixels)
{
    return static_cast<std::int32_t>(std::lround(pixels * 2540.0 / 96.0));
}

float StdPicture::himetricToPixels(std::int32_t himetric)
{
    return static_cast<float>(himetric) * 96.0f / 2540.0f;
}

PicturePtr makePicture(const QImage &image, std::int16_t type)
{
    auto p = std::make_shared<StdPicture>();
    p->Type = type;
    p->image = type == StdPicture::Icon ? image.convertToFormat(QImage::Format_ARGB32)
                                        : image.convertToFormat(QImage::Format_RGB32);
    p->Width = StdPicture::pixelsToHimetric(image.width());
    p->Height = StdPicture::pixelsToHimetric(image.height());
    return p;
}

} // namespace vidmora::platform
