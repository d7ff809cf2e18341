#include "announcement/web_engine_setup.h"

#include <QCoreApplication>
#include <QByteArray>
#include <unistd.h>

namespace vidmora::announcement {

void prepareWebEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The pages are the only traffic the program wants: no update checks,
    // field trials, safe-browsing lists or component downloads.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            "--disable-background-networking --disable-component-update --disable-domain-reliability "
            "--disable-sync --no-first-run --no-pings --metrics-recording-only");
    // The program writes nothing: no shader caches of the graphics stack either.
    qputenv("QT_DISABLE_SHADER_DISK_CACHE", "1");
    qputenv("MESA_SHADER_CACHE_DISABLE", "true");
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    else
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
}

} // namespace vidmora::announcement
