#pragma once

#include <QPixmap>
#include <QString>

namespace vidmora::platform {

// Loads the picture in `path`, recognised by its content rather than its name
// (the thumbnail is a JPEG stored as "fis.tmp"). A null pixmap when the file is
// missing or holds no picture.
QPixmap loadPicture(const QString &path);

} // namespace vidmora::platform
