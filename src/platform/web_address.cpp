#include "platform/web_address.h"

namespace vidmora::platform {

bool isWebScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int defaultPort(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

quint16 portOf(const QUrl &url)
{
    return static_cast<quint16>(url.port(defaultPort(url)));
}

QByteArray hostHeader(const QUrl &url)
{
    // FullyEncoded gives an IDN's ACE form and an IPv6 literal without its brackets.
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() != -1 && url.port() != defaultPort(url))
        host += ':' + QByteArray::number(url.port());
    return host;
}

} // namespace vidmora::platform
