#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vidmora::test {

// Writes `bytes` to `path`, replacing what was there; false when the file
// cannot be opened or not all of it is written.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// What is in the file at `path`; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace vidmora::test
