#include "platform/gui/picture.h"

#include <QImage>
#include <QImageReader>

namespace vidmora::platform {

QPixmap loadPicture(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        return QPixmap();
    return QPixmap::fromImage(image);
}

} // namespace vidmora::platform
