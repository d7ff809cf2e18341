#include "page_server.h"

#include <QTcpSocket>
#include <QUrl>

namespace vidmora::test {

PageServer::PageServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, &PageServer::onConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString PageServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

QByteArray PageServer::pageFor(const QByteArray &target)
{
    const QByteArray query = QUrl(QString::fromLatin1(target)).query().toHtmlEscaped().toUtf8();
    return "<!DOCTYPE html><html><head><title>page " + query + "</title></head>"
           "<body style=\"background:#203040;color:#f0f0f0;font-family:sans-serif\">"
           "<h1>Announcement " + query + "</h1><p>Served on loopback.</p></body></html>";
}

void PageServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray &buffer = m_buffers[socket];
            buffer += socket->readAll();
            if (!buffer.contains("\r\n\r\n"))
                return;
            const QList<QByteArray> line = buffer.left(buffer.indexOf("\r\n")).split(' ');
            const QByteArray target = line.size() > 1 ? line.at(1) : QByteArray("/");
            buffer.clear();
            m_targets << QString::fromLatin1(target);
            QByteArray status = "200 OK";
            QByteArray body;
            if (target.startsWith("/favicon"))
                status = "404 Not Found";
            else
                body = pageFor(target);
            socket->write("HTTP/1.0 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }
}

} // namespace vidmora::test
