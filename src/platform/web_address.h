#pragma once

#include <QByteArray>
#include <QUrl>

namespace vidmora::platform {

// The schemes the transfers speak: http and https.
bool isWebScheme(const QUrl &url);
// The statuses whose Location a transfer follows.
bool isRedirectStatus(int status);

// The port a web address means when it names none: 443 for https, else 80.
int defaultPort(const QUrl &url);
// The port a connection to `url` goes to: its own, or the scheme's default.
quint16 portOf(const QUrl &url);
// The text of the Host header for `url`: the host in ASCII (IDN as ACE), an
// IPv6 literal in brackets, and ":port" only when the address names a port
// other than the scheme's default, so that the same place always gets the
// same Host text.
QByteArray hostHeader(const QUrl &url);

} // namespace vidmora::platform
