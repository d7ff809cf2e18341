#include "platform/host_map.h"
#include "platform/web_address.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace vidmora::platform {
namespace {

// Test fixtures may run their servers on threads of their own; the map is
// read from the window's thread while a fixture thread may set it.
QMutex &mapMutex()
{
    static QMutex m;
    return m;
}

QHash<QString, Endpoint> &entries()
{
    static QHash<QString, Endpoint> e;
    return e;
}

} // namespace

void HostMap::set(const QString &name, const QString &host, quint16 port)
{
    QMutexLocker lock(&mapMutex());
    entries().insert(name.toLower(), Endpoint{host, port});
}

void HostMap::remove(const QString &name)
{
    QMutexLocker lock(&mapMutex());
    entries().remove(name.toLower());
}

void HostMap::clear()
{
    QMutexLocker lock(&mapMutex());
    entries().clear();
}

Endpoint HostMap::resolve(const QString &name, quint16 port)
{
    QMutexLocker lock(&mapMutex());
    const auto it = entries().constFind(name.toLower());
    if (it == entries().constEnd())
        return Endpoint{name, port};
    return *it;
}

QUrl HostMap::resolve(const QUrl &url)
{
    const quint16 port = portOf(url);
    const Endpoint ep = resolve(url.host(), port);
    if (ep.host.compare(url.host(), Qt::CaseInsensitive) == 0 && ep.port == port)
        return url;
    QUrl mapped(url);
    mapped.setHost(ep.host);
    mapped.setPort(ep.port);
    return mapped;
}

} // namespace vidmora::platform
