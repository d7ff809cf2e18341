#pragma once

// What a socket raised, for tests that drive the real socket against a peer.

#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstring>

namespace vidmora::test {

using platform::TcpSocket;

// Records the socket's events in order, taking the data on every DataArrival.
struct SocketLog {
    QStringList events;
    QByteArray data;
    qint64 announced = 0;
    int closes = 0;
    qint32 errorNumber = 0;
    QString errorDescription;
    qint32 errorScode = 0;

    explicit SocketLog(TcpSocket &s)
    {
        QObject::connect(&s, &TcpSocket::Connected, [this] { events.append("connect"); });
        QObject::connect(&s, &TcpSocket::DataArrival, [this, &s](qint32 n) {
            events.append("data");
            announced += n;
            QString d;
            s.GetData(d);
            EXPECT_EQ(d.size(), n);
            data += d.toLatin1();
        });
        QObject::connect(&s, &TcpSocket::Closed, [this] {
            events.append("close");
            ++closes;
        });
        QObject::connect(&s, &TcpSocket::Error, [this](qint32 number, const QString &desc, qint32 scode, const QString &) {
            events.append("error");
            errorNumber = number;
            errorDescription = desc;
            errorScode = scode;
        });
    }
};

// The system's own text for a reset connection.
inline QString resetText()
{
    return QString::fromLocal8Bit(std::strerror(ECONNRESET));
}

} // namespace vidmora::test
