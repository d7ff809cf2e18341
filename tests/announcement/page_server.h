#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

namespace vidmora::test {

// A loopback HTTP server standing in for the maker's web host: answers every
// GET with a small HTML page naming the requested query, "/favicon.ico" with
// 404, and records the request targets in arrival order.
class PageServer final : public QObject {
    Q_OBJECT
public:
    PageServer();

    bool listening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // "127.0.0.1:<port>", the form the window takes for the maker's host.
    QString hostAndPort() const;
    QStringList targets() const { return m_targets; }

    // The page served for `target`; its title is "page " + the query.
    static QByteArray pageFor(const QByteArray &target);

private:
    void onConnection();

    QTcpServer m_server;
    QStringList m_targets;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace vidmora::test
