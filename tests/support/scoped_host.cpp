#include "scoped_host.h"

#include "platform/host_map.h"

namespace vidmora::test {

ScopedHost::ScopedHost(const QString &name, quint16 port, const QString &host)
    : m_name(name)
{
    platform::HostMap::set(name, host, port);
}

ScopedHost::~ScopedHost()
{
    platform::HostMap::remove(m_name);
}

} // namespace vidmora::test
