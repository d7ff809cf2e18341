#pragma once

#include <QString>
#include <QUrl>

namespace vidmora::platform {

// Where a host name really leads. The programs themselves never set an entry,
// so every name resolves through DNS as usual; tests point the deployment's
// host names at loopback fixtures here, so that the code under test keeps its
// real host names (request lines, Host headers, file names) unchanged.
struct Endpoint {
    QString host;
    quint16 port = 0;
};

class HostMap final {
public:
    // Sends connections for `name` (any port) to `host`:`port`. Names match without regard to case.
    static void set(const QString &name, const QString &host, quint16 port);
    static void remove(const QString &name);
    static void clear();

    // The endpoint to connect to for `name`:`port`; unmapped names come back as given.
    static Endpoint resolve(const QString &name, quint16 port);
    // The same for a URL's host and port (port defaulting to the scheme's).
    static QUrl resolve(const QUrl &url);
};

} // namespace vidmora::platform
