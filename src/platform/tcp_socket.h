#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace vidmora::platform {

// The host's TCP socket control, reduced to what the HTTP client relies on.
// Its events are Qt signals raised on the thread that owns the object; they
// never nest: a handler that pumps the event queue (a modal box) does not see
// the next event of this socket until it has returned.
//
// Event order for one connection: Connected, then DataArrival for every batch
// of bytes, then Closed when the peer has closed, raised only after every byte
// received has been announced by DataArrival. Error ends the connection
// attempt or the connection; no Closed follows it. Closing from this side
// raises nothing, and no event of a connection that this side has closed is
// ever raised afterwards.
//
// A listener may call Close or Connect, or delete the object, from inside any
// of its events, and may pump the event queue there; the object touches
// nothing of itself or of a dropped connection after such a listener returns.
class TcpSocket : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpSocket)
public:
    // Winsock-style error numbers carried by Error.
    enum ErrorNumber : qint32 {
        ErrAccess = 10013,
        ErrInvalidArgument = 10022,
        ErrAddressInUse = 10048,
        ErrAddressNotAvailable = 10049,
        ErrNetworkDown = 10050,
        ErrConnectionAborted = 10053,
        ErrConnectionReset = 10054,
        ErrNoBufferSpace = 10055,
        ErrTimedOut = 10060,
        ErrConnectionRefused = 10061,
        ErrHostNotFound = 11001,
    };
    // The control reports its errors as HRESULTs of the control facility.
    static constexpr qint32 scodeFor(qint32 number)
    {
        return static_cast<qint32>(0x800A0000u | static_cast<quint32>(number & 0xFFFF));
    }

    explicit TcpSocket(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
    ~TcpSocket() override = default;

    // Ends whatever connection or attempt there is; raises no event.
    virtual void Close() = 0;
    virtual void setRemotePort(int port) = 0;
    // A host name or address, taken as given.
    virtual void setRemoteHost(const QString &host) = 0;
    // Starts connecting to the set host and port: Connected on success, Error on failure.
    virtual void Connect() = 0;
    // Sends the text as 8-bit characters (Latin-1, one byte per character).
    virtual void SendData(const QString &data) = 0;
    // Takes every byte that is waiting, one character per byte.
    virtual void GetData(QString &data) = 0;

signals:
    void Connected();                   // the control's Connect event
    void DataArrival(qint32 bytesTotal); // bytesTotal: the bytes waiting
    void Closed();                      // the control's Close event: the peer closed
    void Error(qint32 Number, const QString &Description, qint32 Scode, const QString &Source);
};

// The real socket (QTcpSocket, host names resolved by the system after
// HostMap has had its say).
std::unique_ptr<TcpSocket> createTcpSocket(QObject *parent = nullptr);

} // namespace vidmora::platform
