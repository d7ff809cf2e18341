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
    m_ready = false;
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
    // 32-bit true colour, 0x00RRGGBB little-endian, and raw rectangles only.
    QByteArray format(20, '\0');
    format[4] = 32;                              // bits a pixel
    format[5] = 24;                              // depth
    format[6] = 0;                               // little-endian
    format[7] = 1;                               // true colour
    qToBigEndian<quint16>(255, format.data() + 8);
    qToBigEndian<quint16>(255, format.data() + 10);
    qToBigEndian<quint16>(255, format.data() + 12);
    format[14] = 16;
    format[15] = 8;
    format[16] = 0;
    m_socket.write(format);
    QByteArray encodings(8, '\0');
    encodings[0] = 2; // SetEncodings
    qToBigEndian<quint16>(1, encodings.data() + 2);
    m_socket.write(encodings); // encoding 0: raw
    m_socket.flush();
    m_ready = true;
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

bool VncPointer::pixel(int x, int y, QRgb *colour, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    const auto left = [&] { return int(qMax<qint64>(1, deadline.remainingTime())); };
    char request[10];
    request[0] = 3; // FramebufferUpdateRequest
    request[1] = 0; // the whole region, not only what changed
    qToBigEndian<quint16>(quint16(x), request + 2);
    qToBigEndian<quint16>(quint16(y), request + 4);
    qToBigEndian<quint16>(1, request + 6);
    qToBigEndian<quint16>(1, request + 8);
    m_socket.write(request, sizeof request);
    m_socket.flush();
    for (;;) {
        const QByteArray head = readExactly(4, left());
        if (head.size() != 4 || head.at(0) != 0) // only updates are expected
            return false;
        const int rects = qFromBigEndian<quint16>(head.constData() + 2);
        bool found = false;
        for (int i = 0; i < rects; ++i) {
            const QByteArray r = readExactly(12, left());
            if (r.size() != 12 || qFromBigEndian<qint32>(r.constData() + 8) != 0)
                return false;
            const int rx = qFromBigEndian<quint16>(r.constData());
            const int ry = qFromBigEndian<quint16>(r.constData() + 2);
            const int rw = qFromBigEndian<quint16>(r.constData() + 4);
            const int rh = qFromBigEndian<quint16>(r.constData() + 6);
            const QByteArray pixels = readExactly(rw * rh * 4, left());
            if (pixels.size() != rw * rh * 4)
                return false;
            if (x >= rx && x < rx + rw && y >= ry && y < ry + rh) {
                const quint32 v = qFromLittleEndian<quint32>(pixels.constData() + ((y - ry) * rw + (x - rx)) * 4);
                *colour = qRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
                found = true;
            }
        }
        if (found)
            return true;
        if (deadline.hasExpired())
            return false;
    }
}

bool VncPointer::click(int x, int y)
{
    return pointer(x, y, 0) && pointer(x, y, 1) && pointer(x, y, 0);
}

} // namespace vidmora::test
