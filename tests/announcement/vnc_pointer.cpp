#include "vnc_pointer.h"

#include <QDeadlineTimer>
#include <QtEndian>

namespace vidmora::test {

QByteArray VncPointer::readExactly(int n, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QByteArray data;
    while (data.size() < n) {
        if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return {};
        data += m_socket.read(n - data.size());
        if (deadline.hasExpired() && data.size() < n)
            return {};
    }
    return data;
}

bool VncPointer::connectTo(quint16 port, int timeoutMs)
{
    m_socket.abort();
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (!m_socket.waitForConnected(timeoutMs))
        return false;
    // "RFB xxx.yyy\n": answer with the oldest version, whose security step is
    // the server's choice in four bytes (1: none).
    const QByteArray version = readExactly(12, timeoutMs);
    if (!version.startsWith("RFB "))
        return false;
    m_socket.write("RFB 003.003\n");
    const QByteArray security = readExactly(4, timeoutMs);
    if (security.size() != 4 || qFromBigEndian<quint32>(security.constData()) != 1)
        return false;
    m_socket.write(QByteArray(1, '\x01')); // shared session
    const QByteArray init = readExactly(24, timeoutMs);
    if (init.size() != 24)
        return false;
    m_width = qFromBigEndian<quint16>(init.constData());
    m_height = qFromBigEndian<quint16>(init.constData() + 2);
    const quint32 nameLength = qFromBigEndian<quint32>(init.constData() + 20);
    if (nameLength > 0 && readExactly(int(nameLength), timeoutMs).size() != int(nameLength))
        return false;
    m_socket.flush();
    return connected();
}

bool VncPointer::pointer(int x, int y, int buttonMask)
{
    char message[6];
    message[0] = 5; // PointerEvent
    message[1] = char(buttonMask);
    qToBigEndian<quint16>(quint16(x), message + 2);
    qToBigEndian<quint16>(quint16(y), message + 4);
    if (m_socket.write(message, sizeof message) != qint64(sizeof message))
        return false;
    m_socket.flush();
    return connected();
}

bool VncPointer::click(int x, int y)
{
    return pointer(x, y, 0) && pointer(x, y, 1) && pointer(x, y, 0);
}

} // namespace vidmora::test
