// Receives bodies of 1, 8 and 64 MB, sent by a loopback peer in 1460-byte
// packets, through DGSwsHTTP, and has curl fetch the same bodies from the same
// peer. Each size is sent as ASCII markup and as UTF-8 text with accents, CJK
// and characters beyond the BMP (the page's whole text is decoded at the end). Prints MB/s, the per-byte cost ratio 64 MB / 1 MB (appending must not
// copy the whole body: goal <= 1.5) and DGSwsHTTP's time over curl's (goal <= 2).
// Then the cost of hostile pages (hostile_page_bench.cpp), in a child process;
// "--hostile" runs that part alone.
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "hostile_page_bench.h"
#include "http_client/dgsws_http.h"
#include "http_client/receive_buffer.h"
#include "platform/host_map.h"

namespace {

constexpr int kPacket = 1460;

// Serves every connection the same response: reads the request up to its
// blank line, sends head and body in kPacket-byte sends, closes.
class Peer {
public:
    explicit Peer(QByteArray response)
        : m_response(std::move(response))
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(m_fd, 8);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~Peer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }

private:
    void run()
    {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            QByteArray request;
            char buf[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, n);
            }
            const char *d = m_response.constData();
            qsizetype left = m_response.size();
            while (left > 0) {
                const ssize_t n = ::send(c, d, size_t(std::min<qsizetype>(left, kPacket)), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                d += n;
                left -= n;
            }
            ::shutdown(c, SHUT_WR);
            // Wait for the client's close so nothing unread is reset.
            while (::recv(c, buf, sizeof buf, 0) > 0) {
            }
            ::close(c);
        }
    }

    QByteArray m_response;
    int m_fd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds from geturl to DownloadComplete; -1 on a wrong result.
double fetchWithDGSwsHTTP(qsizetype expected)
{
    vidmora::DGSwsHTTP http(vidmora::platform::createTcpSocket(), QStringLiteral("www.vidsite.example"));
    QEventLoop loop;
    bool failed = false;
    QObject::connect(&http, &vidmora::DGSwsHTTP::DownloadComplete, &loop, &QEventLoop::quit);
    QObject::connect(&http, &vidmora::DGSwsHTTP::httpError, &loop, [&](QString &, QString &) {
        failed = true;
        loop.quit();
    });
    QElapsedTimer t;
    t.start();
    QString url = QStringLiteral("http://www.vidsite.example/watch?v=bench");
    http.geturl(url);
    loop.exec();
    const double s = t.nsecsElapsed() / 1e9;
    const qsizetype got = http.filedata.toString().size();
    vidmora::Module1::BufClear();
    // The socket closes when http goes; the peer waits for that.
    return failed || got != expected ? -1 : s;
}

// curl's own transfer time (process start excluded).
double fetchWithCurl(const QString &curl, quint16 port)
{
    QProcess p;
    p.start(curl, {QStringLiteral("-s"), QStringLiteral("--noproxy"), QStringLiteral("*"), QStringLiteral("-o"),
                   QStringLiteral("/dev/null"), QStringLiteral("-w"), QStringLiteral("%{time_total} %{size_download}"),
                   QStringLiteral("http://127.0.0.1:%1/watch?v=bench").arg(port)});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    return QString::fromLatin1(p.readAllStandardOutput()).split(' ').value(0).toDouble();
}

} // namespace

int main(int argc, char **argv)
{
    // The hostile-page figures need the main window (shown off screen) and a
    // peak memory of their own: they run in a child process of this program.
    if (argc > 1 && std::string(argv[1]) == "--hostile") {
        std::vector<char *> args(argv, argv + argc);
        char platformFlag[] = "-platform";
        char offscreen[] = "offscreen";
        args.push_back(platformFlag);
        args.push_back(offscreen);
        int qtArgc = int(args.size());
        QApplication app(qtArgc, args.data());
        runHostilePageFigures();
        return 0;
    }
    QCoreApplication app(argc, argv);
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    std::printf("DGSwsHTTP receive benchmark: loopback peer, %d-byte packets, median of several runs\n", kPacket);
    std::printf("%15s %14s %14s %12s %12s %10s\n", "body", "DGSwsHTTP s", "DGSwsHTTP MB/s", "curl s", "curl MB/s",
                "time/curl");

    struct Body {
        int mb;
        bool utf8;
    };
    const Body bodies[] = {{1, false}, {8, false}, {64, false}, {8, true}, {64, true}};
    double perByte1 = 0, perByte64 = 0;
    bool ok = true;
    std::vector<double> endSeconds;
    for (const auto [mb, utf8] : bodies) {
        const qsizetype n = qsizetype(mb) * 1024 * 1024;
        QByteArray body(n, Qt::Uninitialized);
        for (qsizetype i = 0; i < n; ++i)
            body[i] = char('a' + (i * 13 + i / 997) % 26);
        if (utf8) {
            // Whole sequences only, so the body stays valid UTF-8; the tail is ASCII.
            const QByteArray line = QStringLiteral("<p>Café Müller – 日本語 \U0001F3B5 näive</p>\n").toUtf8();
            for (qsizetype i = 0; i + line.size() <= n; i += line.size())
                std::memcpy(body.data() + i, line.constData(), size_t(line.size()));
        }
        const qsizetype expected = utf8 ? QString::fromUtf8(body).size() : n;
        Peer peer("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(n) + "\r\n\r\n"
                  + body);
        vidmora::platform::HostMap::set(QStringLiteral("www.vidsite.example"), QStringLiteral("127.0.0.1"), peer.port());

        const int runs = mb >= 64 ? 5 : 9;
        std::vector<double> ours, theirs;
        fetchWithDGSwsHTTP(expected); // warm-up
        for (int r = 0; r < runs; ++r) {
            ours.push_back(fetchWithDGSwsHTTP(expected));
            if (!curl.isEmpty())
                theirs.push_back(fetchWithCurl(curl, peer.port()));
        }
        if (std::any_of(ours.begin(), ours.end(), [](double s) { return s < 0; })) {
            std::printf("%6d MB%s: DGSwsHTTP fetch failed\n", mb, utf8 ? " UTF-8" : "");
            ok = false;
            endSeconds.push_back(-1);
            continue;
        }
        const double t = median(ours);
        const double tc = theirs.empty() ? -1 : median(theirs);
        // The end step alone (the whole fetch is noisy on a busy machine):
        // taking the collected bytes as text and copying the body out.
        std::vector<double> ends;
        for (int r = 0; r < runs; ++r) {
            QString chars = QString::fromLatin1(body);
            vidmora::Module1::BufAppend(chars);
            chars = QString();
            QElapsedTimer e;
            e.start();
            vidmora::Module1::BufTakeAsCodePage();
            const qsizetype got = vidmora::Module1::BufText().size();
            ends.push_back(got == expected ? e.nsecsElapsed() / 1e9 : 1e9);
            vidmora::Module1::BufClear();
        }
        endSeconds.push_back(median(ends));
        if (mb == 1 && !utf8)
            perByte1 = t / n;
        if (mb == 64 && !utf8)
            perByte64 = t / n;
        std::printf("%6d MB%s %14.4f %14.1f %12.4f %12.1f %10.2f\n", mb, utf8 ? " UTF-8" : "      ", t, mb / t, tc,
                    tc > 0 ? mb / tc : 0.0, tc > 0 ? t / tc : 0.0);
    }
    std::printf("end step (text in the code page + copy out), s:");
    for (size_t i = 0; i < endSeconds.size(); ++i)
        std::printf(" %d MB%s %.4f", bodies[i].mb, bodies[i].utf8 ? " UTF-8" : "", endSeconds[i]);
    std::printf("\n");
    if (perByte1 > 0 && perByte64 > 0)
        std::printf("per-byte cost ratio 64 MB / 1 MB: %.2f (goal <= 1.5)\n", perByte64 / perByte1);
    if (curl.isEmpty())
        std::printf("curl not found: no comparison\n");
    else
        std::printf("goal: DGSwsHTTP time / curl time <= 2\n");
    std::fflush(stdout);
    QProcess hostile;
    hostile.setProcessChannelMode(QProcess::ForwardedChannels);
    hostile.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hostile")});
    if (!hostile.waitForFinished(600000) || hostile.exitCode() != 0)
        ok = false;
    return ok ? 0 : 1;
}
