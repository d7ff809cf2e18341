// Build tool: writes the program's pictures, the title strip as a GIF and the
// background as a 24-bit bitmap, into the folder given as its only argument.
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>

#include "announcement/assets/artwork.h"
#include "announcement/assets/gif_writer.h"

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    using namespace vidmora::announcement::assets;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 1;

    const QByteArray gif = encodeGif(drawTitleStrip());
    // Qt's BMP writer stores a picture without alpha as 24 bits a pixel.
    const QImage background = drawBackground().convertToFormat(QImage::Format_RGB32);
    const QString bmpPath = out.filePath(QStringLiteral("background.bmp"));
    if (!background.save(bmpPath, "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(bmpPath));
        return 1;
    }
    return writeFile(out.filePath(QStringLiteral("title.gif")), gif) ? 0 : 1;
}
