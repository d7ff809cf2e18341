#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include "test_files.h"

namespace vidmora::test {

// Writes an executable shell script at `folder`/`name` (a stand-in for the
// converter: its name ends in "wqas.pga", it prints and sleeps as `body`
// says). Returns its path, or "" when it could not be written.
inline QString writeFakeConverter(const QString &folder, const QString &body,
                                  const QString &name = QStringLiteral("wqas.pga"))
{
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name;
    if (!writeFile(path, "#!/bin/sh\n" + body.toUtf8() + "\n"))
        return {};
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    return path;
}

} // namespace vidmora::test
