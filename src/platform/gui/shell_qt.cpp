#include "platform/gui/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace vidmora::platform {

bool QtShell::open(const QString &fileOrAddress)
{
    if (fileOrAddress.isEmpty())
        return false;
    // An address carries its scheme ("http://..."); anything else is a path.
    const QUrl asUrl(fileOrAddress, QUrl::StrictMode);
    const QString scheme = asUrl.scheme().toLower();
    if (asUrl.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")
                            || scheme == QLatin1String("mailto")))
        return QDesktopServices::openUrl(asUrl);
    // A file that is not there is not handed over: the desktop would only
    // answer with an error of its own, and the caller shows nothing for it.
    const QFileInfo file(fileOrAddress);
    if (!file.exists())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

bool QtShell::startDetached(const QString &program)
{
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable())
        return false;
    return QProcess::startDetached(info.absoluteFilePath(), QStringList());
}

} // namespace vidmora::platform
