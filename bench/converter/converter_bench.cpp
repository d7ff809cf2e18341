// Converter benchmark: a 30-second 640x360 FLV converted with the default
// output format's settings, through the driver (AVC -> wqas.pga -> ffmpeg) and
// by ffmpeg called directly with the options wqas.pga translates them to.
// Prints the ratio of the wall times (goal <= 1.10) and the delay from the
// converter's exit to the driver's Complete (goal <= 600 ms). It also prints the
// ratio up to the converter's exit, which leaves out the 300 ms poll.
//
//   cmake --build build -j8 --target converter_bench && build/bin/converter_bench [runs]

#include "converter/avc.h"
#include "platform/process_control.h"
#include "translate.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// Passes everything to the real process control and remembers the last start.
class Recorder final : public vidmora::platform::ProcessControl {
public:
    bool createPipe(int &r, int &w) override { return m_real->createPipe(r, w); }
    qint64 createProcess(const QString &line, int out, QString &error) override
    {
        commandLine = line;
        pid = m_real->createProcess(line, out, error);
        if (pid > 0)
            watchExit(pid);
        return pid;
    }
    ReadStatus readPipe(int r, char *b, int n, int &got) override { return m_real->readPipe(r, b, n, got); }
    void closePipe(int e) override { m_real->closePipe(e); }
    std::unique_ptr<vidmora::platform::PipeEndWatch> watchPipeEnd(int r) override { return m_real->watchPipeEnd(r); }
    qint64 pipeBytesWaiting(int r) override { return m_real->pipeBytesWaiting(r); }
    int closeProcess(qint64 p) override
    {
        const int code = m_real->closeProcess(p);
        if (m_watcher.joinable())
            m_watcher.join();
        return code;
    }
    void detachProcess(qint64 p) override { m_real->detachProcess(p); }
    QList<vidmora::platform::ProcessEntry> processList() override { return m_real->processList(); }
    bool terminateProcess(qint64 p) override { return m_real->terminateProcess(p); }
    QString shortPathName(const QString &p) override { return m_real->shortPathName(p); }

    QString commandLine;
    qint64 pid = 0;
    std::atomic<bool> exitSeen{false};
    Clock::time_point exitedAt;

private:
    // Notes the moment the converter exits, without reaping it (the driver does that).
    void watchExit(qint64 p)
    {
        exitSeen = false;
        m_watcher = std::thread([this, p] {
            siginfo_t info{};
            if (::waitid(P_PID, id_t(p), &info, WEXITED | WNOWAIT) == 0) {
                exitedAt = Clock::now();
                exitSeen = true;
            }
        });
    }

    std::unique_ptr<vidmora::platform::ProcessControl> m_real = vidmora::platform::makeProcessControl();
    std::thread m_watcher;
};

void setDefaultProfile(vidmora::AVC &a)
{
    // "AVI (MPEG4-DivX-Compatible)"
    a.setVideoSize("320x240");
    a.setVideoFrameRate("29.97");
    a.setVideoBitrate("360");
    a.setVideoCodec("mpeg4");
    a.setDeInterlace(true);
    a.setSameQuality(true);
    a.setAudioBitrate("48");
    a.setAudioSamples("22050");
    a.setAudioChannels("2");
}

bool runQuiet(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Wall time of one direct ffmpeg run, in seconds; < 0 on failure.
double runDirect(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QString converter = QCoreApplication::applicationDirPath() + "/wqas.pga";
    if (!QFileInfo(converter).isExecutable()) {
        std::fprintf(stderr, "no converter at %s\n", qPrintable(converter));
        return 1;
    }
    QTemporaryDir dir;
    const QString src = dir.path() + "/bench.flv";
    std::printf("making a 30-second 640x360 FLV...\n");
    if (!runQuiet("ffmpeg", {"-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc2=size=640x360:rate=25", "-f", "lavfi", "-i", "sine=sample_rate=22050", "-t",
                             "30", "-c:v", "flv1", "-q:v", "4", "-c:a", "libmp3lame", "-ar", "22050", "-b:a", "64k",
                             src})) {
        std::fprintf(stderr, "ffmpeg could not make the input\n");
        return 1;
    }

    vidmora::platform::Timer timer;
    auto recorder = std::make_unique<Recorder>();
    Recorder *rec = recorder.get();
    vidmora::AVC avc(timer, converter, std::move(recorder), "bench.invalid");
    bool complete = false;
    Clock::time_point completedAt;
    QObject::connect(&avc, &vidmora::AVC::Complete, [&] {
        completedAt = Clock::now();
        complete = true;
    });
    QString error;
    QObject::connect(&avc, &vidmora::AVC::ErrorEvent, [&](QString &m) { error = m; });

    std::vector<double> viaDriver, direct, delays, converterOnly;
    std::vector<std::string> ffmpegArgs;
    for (int run = 0; run < runs; ++run) {
        // Through the driver.
        setDefaultProfile(avc);
        avc.setSourceFile(src);
        avc.setDestFile(dir.path() + "/via-driver.avi");
        complete = false;
        const auto t0 = Clock::now();
        avc.ConvertMedia(true);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(error));
            return 1;
        }
        QDeadlineTimer limit(600000);
        while (!complete && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!complete || avc.ExitCode() != 0) {
            std::fprintf(stderr, "the conversion through the driver failed (exit %d)\n", avc.ExitCode());
            return 1;
        }
        viaDriver.push_back(std::chrono::duration<double>(completedAt - t0).count());
        if (rec->exitSeen) {
            delays.push_back(std::chrono::duration<double, std::milli>(completedAt - rec->exitedAt).count());
            converterOnly.push_back(std::chrono::duration<double>(rec->exitedAt - t0).count());
        }

        // The same conversion by ffmpeg itself, with the translated options.
        if (ffmpegArgs.empty()) {
            QStringList words = vidmora::platform::splitCommandLine(rec->commandLine);
            words.removeFirst();
            std::vector<std::string> old;
            for (const QString &w : words)
                old.push_back(w.toStdString());
            const wqas::Translation t = wqas::translate(old);
            if (!t.ok) {
                std::fprintf(stderr, "translation failed: %s\n", t.error.c_str());
                return 1;
            }
            ffmpegArgs = {"/usr/bin/ffmpeg", "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error"};
            ffmpegArgs.insert(ffmpegArgs.end(), t.arguments.begin(), t.arguments.end());
            ffmpegArgs.back() = (dir.path() + "/direct.avi").toStdString();
        }
        const double d = runDirect(ffmpegArgs);
        if (d < 0) {
            std::fprintf(stderr, "the direct ffmpeg run failed\n");
            return 1;
        }
        direct.push_back(d);
        std::printf("run %d: driver %.3f s, ffmpeg %.3f s, exit-to-Complete %.0f ms\n", run + 1, viaDriver.back(), d,
                    delays.empty() ? -1.0 : delays.back());
        std::fflush(stdout);
    }

    std::string shown;
    for (const std::string &a : ffmpegArgs)
        shown += a + " ";
    std::printf("\nconverter line: %s\nffmpeg line:    %s\n", qPrintable(rec->commandLine), shown.c_str());
    const double ratio = median(viaDriver) / median(direct);
    std::printf("\nmedian of %d runs: driver %.3f s, ffmpeg %.3f s\n", runs, median(viaDriver), median(direct));
    std::printf("wall-time ratio driver/ffmpeg: %.3f (goal <= 1.10) %s\n", ratio, ratio <= 1.10 ? "ok" : "MISSED");
    if (!converterOnly.empty())
        std::printf("start-to-converter-exit ratio (the converter's own cost, without the poll): %.3f\n",
                    median(converterOnly) / median(direct));
    const double worst = delays.empty() ? -1 : *std::max_element(delays.begin(), delays.end());
    std::printf("exit-to-Complete delay: median %.0f ms, worst %.0f ms (goal <= 600 ms) %s\n", median(delays), worst,
                worst >= 0 && worst <= 600 ? "ok" : "MISSED");
    return 0;
}
