#pragma once

// The form runtime's font and picture objects, as the button stores and
// persists them.

#include <QFont>
#include <QImage>
#include <QMetaType>
#include <QString>

#include <cstdint>
#include <memory>

namespace vidmora::platform {

// A font description; the size is in points (single precision, as the runtime
// keeps it) and becomes a pixel size at 96 dots per inch when drawn.
struct StdFont {
    QString Name = QStringLiteral("MS Sans Serif");
    float Size = 8.25f;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    std::int16_t Charset = 0;

    QFont toQFont() const;
    static StdFont fromQFont(const QFont &font);
    friend bool operator==(const StdFont &, const StdFont &) = default;
};

// A picture object: a bitmap or an icon, with its size in HIMETRIC (0.01 mm).
struct StdPicture {
    enum : std::int16_t { None = 0, Bitmap = 1, Metafile = 2, Icon = 3 };
    std::int16_t Type = None;
    QImage image; // Format_RGB32 for bitmaps, ARGB32 (alpha = transparency) for icons
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    static std::int32_t pixelsToHimetric(int pixels);
    static float himetricToPixels(std::int32_t himetric);
};
using PicturePtr = std::shared_ptr<StdPicture>;

// A picture made from an image: a bitmap, or an icon when it keeps its alpha.
PicturePtr makePicture(const QImage &image, std::int16_t type = StdPicture::Bitmap);

} // namespace vidmora::platform

Q_DECLARE_METATYPE(vidmora::platform::StdFont)
Q_DECLARE_METATYPE(vidmora::platform::PicturePtr)
