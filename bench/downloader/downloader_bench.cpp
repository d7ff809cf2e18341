// Wall time and peak memory of one large download through DownVidmora over
// loopback HTTP, against curl fetching the same file from the same server in
// the same run. The server is a child process sending the file with
// sendfile(), so neither its memory nor its copying counts against us.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/wait.h>

#include "downloader/down_vidmora.h"
#include "platform/async_download_qt.h"
#include "platform/message_box.h"

namespace {

class SilentBox final : public vidmora::platform::MessageBox {
public:
    Result show(const QString &text, Icon, const QString &) override
    {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        return Result::Ok;
    }
};

bool makeFile(const QString &path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 12345;
    for (qint64 done = 0; done < size;) {
        for (qsizetype i = 0; i < block.size(); ++i) {
            x = x * 1664525u + 1013904223u;
            block[i] = static_cast<char>(x >> 24);
        }
        const qint64 n = std::min<qint64>(block.size(), size - done);
        if (f.write(block.constData(), n) != n)
            return false;
        done += n;
    }
    return true;
}

// Serves `path` to every connection, one after another, until killed.
[[noreturn]] void serve(int listener, const char *path)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (;;) {
        const int c = ::accept(listener, nullptr, nullptr);
        if (c < 0)
            continue;
        char buf[4096];
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::read(c, buf, sizeof buf);
            if (n <= 0)
                break;
            head.append(buf, static_cast<size_t>(n));
        }
        const int fd = ::open(path, O_RDONLY);
        struct stat st {};
        ::fstat(fd, &st);
        char reply[256];
        const int len = std::snprintf(reply, sizeof reply,
                                      "HTTP/1.1 200 OK\r\nContent-Length: %lld\r\nContent-Type: video/x-flv\r\n"
                                      "Connection: close\r\n\r\n",
                                      static_cast<long long>(st.st_size));
        ssize_t w = ::write(c, reply, static_cast<size_t>(len));
        (void)w;
        off_t off = 0;
        while (off < st.st_size) {
            if (::sendfile(c, fd, &off, static_cast<size_t>(st.st_size - off)) <= 0)
                break;
        }
        ::close(fd);
        ::shutdown(c, SHUT_WR);
        while (::read(c, buf, sizeof buf) > 0) {
        }
        ::close(c);
    }
}

long peakRssKb()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 sizeMb = argc > 1 ? std::atoll(argv[1]) : 100;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const qint64 size = sizeMb << 20;

    QTemporaryDir dir;
    const QString source = dir.path() + QStringLiteral("/source.flv");
    if (!dir.isValid() || !makeFile(source, size)) {
        std::fprintf(stderr, "cannot make the test file\n");
        return 1;
    }

    // The server, forked before any Qt thread exists.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t alen = sizeof addr;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(listener, 16) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&addr), &alen) != 0) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    const QByteArray sourcePath = QFile::encodeName(source);
    const pid_t server = ::fork();
    if (server == 0)
        serve(listener, sourcePath.constData());
    ::close(listener);
    const QString url = QStringLiteral("http://127.0.0.1:%1/get_video.php?video_id=bench&t=1").arg(ntohs(addr.sin_port));

    QCoreApplication app(argc, argv);
    vidmora::platform::QtAsyncDownloadService service;
    SilentBox box;
    vidmora::DownVidmora control(service, box);
    QElapsedTimer t;
    double finalizingAt = 0, completeAt = 0;
    QObject::connect(&control, &vidmora::DownVidmora::DownloadStage, [&](QString &stage) {
        if (stage == QLatin1String("Finalizing"))
            finalizingAt = t.nsecsElapsed() / 1e9;
    });
    QObject::connect(&control, &vidmora::DownVidmora::DownloadComplete,
                     [&](qint32 &, QString &) { completeAt = t.nsecsElapsed() / 1e9; });
    bool batchEnded = false;
    bool failed = false;
    QObject::connect(&control, &vidmora::DownVidmora::DownloadAllComplete, [&](QStringList &notDone) {
        failed = notDone.size() > 1;
        batchEnded = true;
    });

    const long baselineKb = peakRssKb();
    std::vector<double> curlTimes, ourTimes;
    const QString curlOut = dir.path() + QStringLiteral("/curl.flv");
    const QString ourOut = dir.path() + QStringLiteral("/downvidmora.flv");
    std::printf("file size: %lld bytes (%lld MB), %d rounds\n", static_cast<long long>(size), static_cast<long long>(sizeMb), rounds);
    std::printf("round  curl [s]  DownVidmora [s]  (transfer, file write)\n");
    for (int r = 1; r <= rounds; ++r) {
        QFile::remove(curlOut);
        QFile::remove(ourOut);
        QProcess curl;
        t.start();
        curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), curlOut, url});
        if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        const double curlS = t.nsecsElapsed() / 1e9;

        batchEnded = false;
        t.restart();
        control.BeginDownload(url, ourOut);
        while (!batchEnded)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ourS = t.nsecsElapsed() / 1e9;
        if (failed || QFileInfo(ourOut).size() != size || QFileInfo(curlOut).size() != size) {
            std::fprintf(stderr, "download incomplete\n");
            return 1;
        }
        curlTimes.push_back(curlS);
        ourTimes.push_back(ourS);
        std::printf("%5d  %8.3f  %15.3f  (%.3f, %.3f)\n", r, curlS, ourS, finalizingAt, completeAt - finalizingAt);
    }
    const long peakKb = peakRssKb();

    const double c = median(curlTimes), o = median(ourTimes);
    std::printf("median: curl %.3f s (%.0f MB/s), DownVidmora %.3f s (%.0f MB/s)\n", c, sizeMb / c, o, sizeMb / o);
    std::printf("wall-time ratio DownVidmora/curl: %.2f (goal <= 1.3)\n", o / c);
    std::printf("peak RSS: %.1f MB = %.2fx the file (before the downloads %.1f MB; growth %.2fx the file) (goal <= 2.5x)\n",
                peakKb / 1024.0, peakKb * 1024.0 / size, baselineKb / 1024.0, (peakKb - baselineKb) * 1024.0 / size);

    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    return 0;
}
