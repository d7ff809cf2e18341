// What a hostile page can cost: a 50 MB response head handed over in one read,
// and a 5 MB description shown by the main window.
#include "hostile_page_bench.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include "http_client/dgsws_http.h"
#include "http_client/receive_buffer.h"
#include "main_window/form1.h"
#include "platform/async_download.h"
#include "platform/gui/shell.h"
#include "platform/message_box.h"
#include "platform/tcp_socket.h"

namespace {

// A socket whose events the benchmark raises: every byte comes in the reads it chooses.
class ScriptedSocket final : public vidmora::platform::TcpSocket {
public:
    void Close() override { m_waiting.clear(); }
    void setRemotePort(int) override {}
    void setRemoteHost(const QString &) override {}
    void Connect() override {}
    void SendData(const QString &) override {}
    void GetData(QString &data) override
    {
        data = QString::fromLatin1(m_waiting);
        m_waiting = QByteArray();
    }

    void connectNow() { emit Connected(); }
    void arrive(QByteArray bytes)
    {
        m_waiting = std::move(bytes);
        emit DataArrival(static_cast<qint32>(m_waiting.size()));
    }
    void peerClose() { emit Closed(); }

private:
    QByteArray m_waiting;
};

class NoDownloads final : public vidmora::platform::AsyncDownloadService {
public:
    std::optional<vidmora::platform::AsyncReadFailure> AsyncRead(const QString &, qint32, const QString &,
                                                                 const QVariant &) override
    {
        return std::nullopt;
    }
    std::optional<vidmora::platform::AsyncReadFailure> CancelAsyncRead(const QString &) override
    {
        return std::nullopt;
    }
};

class SilentBox final : public vidmora::platform::MessageBox {
public:
    Result show(const QString &, Icon, const QString &) override { return Result::Ok; }
};

class NoShell final : public vidmora::platform::Shell {
public:
    bool open(const QString &) override { return true; }
    bool startDetached(const QString &) override { return true; }
};

// CPU time of this thread in seconds: on a busy machine it shows what the step
// itself costs, apart from the time spent waiting for a processor.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// Kernel figures of this process in kB ("VmRSS", "VmHWM").
long statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Starts a new peak: the kernel's high-water mark drops to what is resident now.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

void headFigure()
{
    const qsizetype target = qsizetype(50) * 1024 * 1024;
    QByteArray response = "HTTP/1.0 200 OK\r\n";
    response.reserve(target + 256);
    // Short lines with keys of their own: the most lines and table entries per byte.
    for (qint64 i = 0; response.size() < target; ++i)
        response += "X-" + QByteArray::number(i) + ": v\r\n";
    response += "Content-Length: 2\r\n\r\nok";

    auto socket = std::make_unique<ScriptedSocket>();
    ScriptedSocket *s = socket.get();
    vidmora::DGSwsHTTP http(std::move(socket), QStringLiteral("www.vidsite.example"));
    QString url = QStringLiteral("http://www.vidsite.example/watch?v=bench");
    http.geturl(url);
    s->connectNow();

    const long before = statusKb("VmRSS");
    resetPeak();
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    s->arrive(std::move(response)); // the whole head in one read
    const double seconds = t.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const long peak = statusKb("VmHWM");
    s->peerClose();
    const bool right = http.filedata.toString() == QLatin1String("ok") && http.ResponseCode == QLatin1String("200");
    vidmora::Module1::BufClear();
    std::printf("50 MB response head in one read: %.3f s (CPU %.3f s), peak memory +%.0f MB over the %.0f MB before%s\n",
                seconds, cpu, (peak - before) / 1024.0, before / 1024.0, right ? "" : " (WRONG RESULT)");
}

void descriptionFigure()
{
    QTemporaryDir dir;
    const qsizetype length = qsizetype(5) * 1024 * 1024;
    QByteArray description;
    description.reserve(length + 64);
    const QByteArray words = "A long day at the lake, with friends &amp; <b>boats</b>\tand  birds. ";
    while (description.size() < length)
        description += words;
    // A watch page with every field in its place, whose description's end
    // marker comes only after megabytes.
    const QByteArray page =
        "<html><head><title>Vidmora - Endless</title>\n<script>var watchUsername = 'someone';\n"
        "var fullscreenUrl = '/watch_fullscreen?fs=1&video_id=Xy3_abcDEF0&l=213&t=tok_EN&sk=q';</script></head>\n"
        "<body><span id=\"watch-view-count\" class=\"watch-view-count\">1,234</span>\n"
        "<div>Added: <span class=\"watch-stat\">May 17, 2008</span></div>\n"
        "<div id=\"watch-video-desc\"><span class=\"description\">" + description + "</span></div>\n"
        "<div>Category: <a href=\"/browse\" onmousedown=\"urchinTracker('/Events/VideoWatch/VideoCategoryLink');\">"
        "Travel</a></div></body></html>\n";
    const QByteArray response = "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(page.size()) + "\r\n\r\n";

    NoDownloads downloads;
    SilentBox box;
    NoShell shell;
    vidmora::main_window::Form1Setup setup;
    auto socket = std::make_unique<ScriptedSocket>();
    ScriptedSocket *s = socket.get();
    setup.wsc = std::make_unique<vidmora::DGSwsHTTP>(std::move(socket), QStringLiteral("www.vidsite.example"));
    vidmora::DGSwsHTTP *wsc = setup.wsc.get();
    setup.downloadService = &downloads;
    setup.messageBox = &box;
    setup.shell = &shell;
    setup.programFolder = dir.path();
    setup.saveFolder = dir.path() + QStringLiteral("/Vidmora");
    setup.siteHost = QStringLiteral("www.vidsite.example");
    setup.siteDomain = QStringLiteral("vidsite.example");
    setup.imageHost = QStringLiteral("img.vidsite.example");
    setup.makerHost = QStringLiteral("www.maker.example");
    setup.endProgram = [] {};
    vidmora::main_window::Form1 window(std::move(setup));
    window.show();
    window.repaint();

    QString url = QStringLiteral("http://www.vidsite.example/watch?v=bench");
    wsc->geturl(url);
    s->connectNow();
    s->arrive(response + page);
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    s->peerClose(); // the page handler runs inside
    const double handler = t.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    t.restart();
    window.repaint();
    const double paint = t.nsecsElapsed() / 1e9;
    std::printf("5 MB description: page handler %.3f s (CPU %.3f s; goal < 0.2), first repaint %.3f s%s\n", handler,
                cpu, paint, window.statusText() == QLatin1String("Downloading ...") ? "" : " (page not handled)");
}

} // namespace

void runHostilePageFigures()
{
    std::printf("\nHostile pages\n");
    headFigure();
    descriptionFigure();
}
