#pragma once

#include <QString>
#include <QStringList>

namespace vidmora::test {

// Makes a video file in the site's download format with the system's ffmpeg:
// Sorenson H.263 video with a moving test pattern and a tone in MP3, like the
// site's own ".flv" files; without `sound`, the picture alone. Returns false
// when ffmpeg failed.
bool makeFlv(const QString &path, int seconds = 1, int width = 320, int height = 240, bool sound = true);

// A `seconds`-long 320x240 FLV as makeFlv makes it, with 48 bytes of noise
// every 2000 bytes after its first 8 KiB: the decoder reports an error in
// frame after frame, as with a download damaged on its way.
bool makeDamagedFlv(const QString &path, int seconds);

// How far ffmpeg gets when it decodes `path` (seconds of the longest stream);
// 0 when it cannot read it at all.
double decodedSeconds(const QString &path);

// What ffprobe says about a media file.
struct MediaInfo {
    bool ok = false;         // ffprobe read it
    QString formatName;      // e.g. "avi", "mov,mp4,m4a,3gp,3g2,mj2"
    QString majorBrand;      // ISO family only: "qt  ", "3gp4", "3g2a"
    QStringList codecs;      // one per stream, in stream order
    int width = 0;           // the picture's, when there is one
    int height = 0;
    double duration = 0;     // the container's, in seconds
    bool decodes = false;    // ffmpeg decodes every stream to the end without an error (when asked)
};
MediaInfo probeMedia(const QString &path, bool decode = true);

// The full path of the converter program built beside the main program.
QString converterProgram();

} // namespace vidmora::test
