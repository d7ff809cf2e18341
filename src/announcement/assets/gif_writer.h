#pragma once

#include <QByteArray>
#include <QImage>

namespace vidmora::announcement::assets {

// Encodes a picture as a GIF89a file. Qt reads GIF but cannot write it, and the
// title strip ships as a GIF. Pictures with more than 256 colours are reduced
// to Qt's palette first. Returns an empty array for a null picture.
QByteArray encodeGif(const QImage &picture);

} // namespace vidmora::announcement::assets
