#include "flv_media.h"

#include <QFile>
#include <QProcess>

#include <algorithm>
#include <QStringList>

namespace vidmora::test {

namespace {

bool run(const QString &program, const QStringList &args, QByteArray *out = nullptr, QByteArray *err = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000)) // test helpers may wait: they run before the code under test
        return false;
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

bool makeFlv(const QString &path, int seconds, int width, int height, bool sound)
{
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    QStringList args = {"-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                        "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=25").arg(size)};
    if (sound)
        args << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=22050";
    args << "-t" << QString::number(seconds) << "-c:v" << "flv1" << "-q:v" << "4";
    if (sound)
        args << "-c:a" << "libmp3lame" << "-ar" << "22050" << "-b:a" << "64k";
    args << path;
    return run(QStringLiteral("ffmpeg"), args);
}

MediaInfo probeMedia(const QString &path, bool decode)
{
    MediaInfo info;
    QByteArray out;
    if (!run(QStringLiteral("ffprobe"),
             {"-v", "error", "-show_entries",
              "format=format_name,duration:format_tags=major_brand:stream=codec_name,width,height",
              "-of", "default=noprint_wrappers=1", path},
             &out))
        return info;
    info.ok = true;
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("format_name="))
            info.formatName = QString::fromUtf8(line.mid(12));
        else if (line.startsWith("TAG:major_brand="))
            info.majorBrand = QString::fromUtf8(line.mid(16));
        else if (line.startsWith("codec_name="))
            info.codecs << QString::fromUtf8(line.mid(11));
        else if (line.startsWith("width="))
            info.width = line.mid(6).toInt();
        else if (line.startsWith("height="))
            info.height = line.mid(7).toInt();
        else if (line.startsWith("duration="))
            info.duration = line.mid(9).toDouble();
    }
    if (!decode)
        return info;
    QByteArray err;
    info.decodes = run(QStringLiteral("ffmpeg"),
                       {"-hide_banner", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"}, nullptr, &err)
                   && err.trimmed().isEmpty();
    return info;
}

bool makeDamagedFlv(const QString &path, int seconds)
{
    if (!makeFlv(path, seconds))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = f.readAll();
    quint32 seed = 7;
    for (qsizetype at = 8192; at + 48 < bytes.size(); at += 2000)
        for (qsizetype i = at; i < at + 48; ++i) {
            seed = seed * 1664525u + 1013904223u;
            bytes[i] = char(seed >> 24);
        }
    return f.seek(0) && f.write(bytes) == bytes.size();
}

double decodedSeconds(const QString &path)
{
    QByteArray out;
    run(QStringLiteral("ffmpeg"),
        {"-hide_banner", "-nostdin", "-v", "quiet", "-nostats", "-progress", "pipe:1", "-i", path, "-f", "null", "-"},
        &out);
    double seconds = 0;
    for (const QByteArray &line : out.split('\n'))
        if (line.startsWith("out_time_us="))
            seconds = std::max(seconds, line.mid(12).toLongLong() / 1e6);
    return seconds;
}

QString converterProgram()
{
    return QStringLiteral(VIDMORA_TEST_BIN_DIR) + QStringLiteral("/wqas.pga");
}

} // namespace vidmora::test
