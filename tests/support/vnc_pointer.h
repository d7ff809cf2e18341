#pragma once

#include <QByteArray>
#include <QColor>
#include <QTcpSocket>

namespace vidmora::test {

// A minimal VNC viewer: connects to a program that runs on Qt's "vnc" platform,
// sends it mouse movement and clicks in screen pixels, the way a user's pointer
// reaches it, and reads single pixels of the screen. Every wait is bounded.
class VncPointer final {
public:
    // Connects and completes the protocol handshake; false when no server answers.
    bool connectTo(quint16 port, int timeoutMs);
    bool connected() const { return m_ready && m_socket.state() == QAbstractSocket::ConnectedState; }
    // The screen size that the server announced.
    int screenWidth() const { return m_width; }
    int screenHeight() const { return m_height; }

    // Moves the pointer to `x`,`y` with `buttonMask` held (1 left, 2 middle, 4 right).
    bool pointer(int x, int y, int buttonMask);
    // Move, press and release of the left button at `x`,`y`.
    bool click(int x, int y);
    // The screen's colour at `x`,`y` as it is now; false when no answer came.
    bool pixel(int x, int y, QRgb *colour, int timeoutMs);

private:
    QByteArray readExactly(int n, int timeoutMs);

    QTcpSocket m_socket;
    bool m_ready = false; // handshake done
    int m_width = 0;
    int m_height = 0;
};

} // namespace vidmora::test
