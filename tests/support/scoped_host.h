#pragma once

#include <QString>

namespace vidmora::test {

// Points a real host name at a loopback fixture for the lifetime of the object.
class ScopedHost final {
public:
    ScopedHost(const QString &name, quint16 port, const QString &host = QStringLiteral("127.0.0.1"));
    ~ScopedHost();
    ScopedHost(const ScopedHost &) = delete;
    ScopedHost &operator=(const ScopedHost &) = delete;

private:
    QString m_name;
};

} // namespace vidmora::test
