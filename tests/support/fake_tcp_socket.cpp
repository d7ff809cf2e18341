#include "fake_tcp_socket.h"

namespace vidmora::test {

void FakeTcpSocket::Close()
{
    calls.append(QStringLiteral("Close"));
    m_waiting.clear();
}

void FakeTcpSocket::setRemotePort(int port)
{
    calls.append(QStringLiteral("RemotePort=%1").arg(port));
    remotePort = port;
}

void FakeTcpSocket::setRemoteHost(const QString &host)
{
    calls.append(QStringLiteral("RemoteHost=") + host);
    remoteHost = host;
}

void FakeTcpSocket::Connect()
{
    calls.append(QStringLiteral("Connect"));
}

void FakeTcpSocket::SendData(const QString &data)
{
    calls.append(QStringLiteral("SendData"));
    sent.append(data);
}

void FakeTcpSocket::GetData(QString &data)
{
    calls.append(QStringLiteral("GetData"));
    data = QString::fromLatin1(m_waiting);
    m_waiting.clear();
}

void FakeTcpSocket::raiseConnect()
{
    emit Connected();
}

void FakeTcpSocket::arrive(const QByteArray &packet)
{
    m_waiting += packet;
    emit DataArrival(static_cast<qint32>(m_waiting.size()));
}

void FakeTcpSocket::peerClose()
{
    emit Closed();
}

void FakeTcpSocket::raiseError(qint32 number, const QString &description)
{
    emit Error(number, description, scodeFor(number), QStringLiteral("FakeTcpSocket"));
}

} // namespace vidmora::test
