#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/tcp_socket.h"

namespace vidmora::test {

// A socket whose events the test raises by hand, packet by packet, so that
// packet boundaries are exactly as scripted. Records what the component did.
class FakeTcpSocket final : public platform::TcpSocket {
public:
    using TcpSocket::TcpSocket;

    // What the component asked for, in order: "Close", "RemotePort=80",
    // "RemoteHost=abcde", "Connect", "SendData", "GetData".
    QStringList calls;
    QStringList sent;     // every SendData text
    QString remoteHost;   // the last host set
    int remotePort = -1;  // the last port set

    void Close() override;
    void setRemotePort(int port) override;
    void setRemoteHost(const QString &host) override;
    void Connect() override;
    void SendData(const QString &data) override;
    void GetData(QString &data) override;

    // Script: the connection succeeds.
    void raiseConnect();
    // Script: one packet arrives (DataArrival with all bytes now waiting).
    void arrive(const QByteArray &packet);
    // Script: the peer closes (Close event).
    void peerClose();
    // Script: a socket error.
    void raiseError(qint32 number, const QString &description);

private:
    QByteArray m_waiting;
};

} // namespace vidmora::test
