#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

#include "platform/dictionary.h"
#include "platform/tcp_socket.h"
#include "vidmora/deployment.h"

namespace vidmora {

// Fetches one URL at a time with a hand-written HTTP/1.0 GET over a TCP
// socket, collects the body in Module1's receive buffer and reports progress,
// completion and errors as signals (direct connections: the handler runs
// before the component goes on, and acts on by-reference arguments as it
// leaves them).
class DGSwsHTTP final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DGSwsHTTP)
public:
    // `siteHost` is the fixed text of the request's Host line.
    explicit DGSwsHTTP(std::unique_ptr<platform::TcpSocket> socket = platform::createTcpSocket(),
                       QString siteHost = QString::fromLatin1(deployment::kSiteHost),
                       QObject *parent = nullptr);
    ~DGSwsHTTP() override;

    // Checks the address, drops any fetch still running and starts this one;
    // returns at once (the request goes out when the socket has connected).
    void geturl(QString &URL);

    QString RemotePort() const { return m_RemotePort; }
    void setRemotePort(QString vData) { m_RemotePort = std::move(vData); }
    // Stored and returned only: the host always comes from the URL.
    QString RemoteHost() const { return m_RemoteHost; }
    void setRemoteHost(QString vData) { m_RemoteHost = std::move(vData); }

    // Public variables, in declaration order.
    QString URL;                   // the address of the last geturl that passed its checks
    qint32 totalbytesreceived = 0; // running body count of the current response (one less than the body bytes)
    QVariant FileSize;             // int 0 from the connect; then the Content-Length text, or empty
    QString ResponseHeaderString;  // the head as received, ending in CR LF CR
    QVariant filedata;             // the body (QString) of the last completed response, in the system's
                                   // code page (UTF-8 when valid, else one character per byte, Windows-1252)
    QString ResponseCode;          // e.g. "200"; kept across connects until the next head

signals:
    void ProgressChanged(qint32 bytesreceived);
    void DownloadComplete();
    void httpError(QString &errmsg, QString &Scode);

private:
    void ws_Connect();
    void ws_DataArrival(qint32 bytesTotal);
    void ws_Close();
    void ws_Error(qint32 Number, const QString &Description, qint32 Scode, const QString &Source);

    // `c` is the 1-based position of the head's blank line in `d`, 0 when it has none.
    void handleHead(QString d, qsizetype c, qint32 bytesTotal);
    void raiseError(const QString &errmsg, const QString &Scode);

    std::unique_ptr<platform::TcpSocket> ws;
    platform::Dictionary Headers;
    QString m_siteHost;
    QString m_RemotePort = QStringLiteral("80");
    QString m_RemoteHost;

    // The next packet belongs to the head until the head has been handled.
    bool m_awaitingHead = false;
    // A connection is open or being opened and has not ended yet.
    bool m_fetching = false;
    // A head that is still missing its blank line, collected across packets.
    QString m_headSoFar;
    qint64 m_headBytes = 0;
    // Counts the fetches geturl has started: a handler that starts another
    // from inside an event ends the one whose event it is.
    quint64 m_fetchNumber = 0;
};

} // namespace vidmora
