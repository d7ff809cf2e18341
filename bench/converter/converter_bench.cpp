// Converter benchmark: a 30-second 640x360 FLV converted with the default
// output format's settings, through the driver (AVC -> wqas.pga -> ffmpeg) and
// by ffmpeg called directly with the options wqas.pga translates them to.
// Prints the ratio of the wall times (goal <= 1.10), also as the median of each
// run's own ratio, and the delay from the converter's exit to the driver's
// Complete (goal <= 600 ms). It also prints the ratio up to the converter's
// exit, and the figures of the driver without its watch on the end of the
// output, when only the 300 ms ticks can see that end.
//
//   cmake --build build -j8 --target converter_bench && build/bin/converter_bench [runs]

#include "converter/avc.h"
#include "process_control_probe.h"
#include "timed_run.h"
#include "platform/process_control.h"
#include "profiles/profiles.h"
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
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>


namespace {

using vidmora::test::ProcessControlProbe;
using Clock = ProcessControlProbe::Clock;
using vidmora::bench::median;

void setDefaultProfile(vidmora::AVC &a)
{
    // The window's default format, from the profile table itself.
    vidmora::profiles::applyProfile(a, *vidmora::profiles::findProfile(QStringLiteral("AVI (MPEG4-DivX-Compatible)")));
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
    int code = -1;
    const double s = vidmora::bench::timedRun(args, false, &code);
    return s >= 0 && code == 0 ? s : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
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
    auto rec = std::make_shared<ProcessControlProbe::Log>();
    rec->watchExit = true;
    vidmora::AVC avc(timer, converter,
                     std::make_unique<ProcessControlProbe>(rec, vidmora::platform::ProcessScope::AllProcesses),
                     "bench.invalid");
    bool complete = false;
    Clock::time_point completedAt;
    QObject::connect(&avc, &vidmora::AVC::Complete, [&] {
        completedAt = Clock::now();
        complete = true;
    });
    QString error;
    QObject::connect(&avc, &vidmora::AVC::ErrorEvent, [&](QString &m) { error = m; });

    // One conversion through the driver; `endWatch` off leaves the end to the poll's ticks.
    struct DriverFigures {
        std::vector<double> wall, delays, converterOnly;
    };
    DriverFigures watched, pollOnly;
    auto throughDriver = [&](bool endWatch, DriverFigures &into) {
        rec->refuseEndWatch = !endWatch;
        setDefaultProfile(avc);
        avc.setSourceFile(src);
        avc.setDestFile(dir.path() + "/via-driver.avi");
        complete = false;
        const auto t0 = Clock::now();
        avc.ConvertMedia(true);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(error));
            return false;
        }
        QDeadlineTimer limit(600000);
        while (!complete && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!complete || avc.ExitCode() != 0) {
            std::fprintf(stderr, "the conversion through the driver failed (exit %d)\n", avc.ExitCode());
            return false;
        }
        into.wall.push_back(std::chrono::duration<double>(completedAt - t0).count());
        if (rec->exitSeen) {
            into.delays.push_back(std::chrono::duration<double, std::milli>(completedAt - rec->exitedAt).count());
            into.converterOnly.push_back(std::chrono::duration<double>(rec->exitedAt - t0).count());
        }
        return true;
    };

    // The same conversion by ffmpeg itself, with the translated options.
    std::vector<double> direct;
    std::vector<std::string> ffmpegArgs;
    auto byFfmpeg = [&] {
        if (ffmpegArgs.empty()) {
            QStringList words = vidmora::platform::splitCommandLine(rec->lastCommandLine());
            words.removeFirst();
            std::vector<std::string> old;
            for (const QString &w : words)
                old.push_back(w.toStdString());
            const wqas::Translation t = wqas::translate(old);
            if (!t.ok) {
                std::fprintf(stderr, "translation failed: %s\n", t.error.c_str());
                return false;
            }
            ffmpegArgs = {"/usr/bin/ffmpeg", "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error"};
            ffmpegArgs.insert(ffmpegArgs.end(), t.arguments.begin(), t.arguments.end());
            ffmpegArgs.back() = (dir.path() + "/direct.avi").toStdString();
        }
        const double d = runDirect(ffmpegArgs);
        if (d < 0) {
            std::fprintf(stderr, "the direct ffmpeg run failed\n");
            return false;
        }
        direct.push_back(d);
        return true;
    };

    if (!throughDriver(true, watched)) // the first run also gives the converter's line
        return 1;
    watched = {};
    for (int run = 0; run < runs; ++run) {
        // The three ways take turns at going first, so that none has the warmer machine.
        for (int k = 0; k < 3; ++k) {
            const int way = (run + k) % 3;
            const bool ok = way == 0 ? throughDriver(true, watched) : way == 1 ? throughDriver(false, pollOnly) : byFfmpeg();
            if (!ok)
                return 1;
        }
        std::printf("run %d: driver %.3f s (exit-to-Complete %.1f ms), poll only %.3f s (%.0f ms), ffmpeg %.3f s\n",
                    run + 1, watched.wall.back(), watched.delays.empty() ? -1.0 : watched.delays.back(),
                    pollOnly.wall.back(), pollOnly.delays.empty() ? -1.0 : pollOnly.delays.back(), direct.back());
        std::fflush(stdout);
    }

    std::string shown;
    for (const std::string &a : ffmpegArgs)
        shown += a + " ";
    std::printf("\nconverter line: %s\nffmpeg line:    %s\n", qPrintable(rec->lastCommandLine()), shown.c_str());
    const double base = median(direct);
    std::printf("\nmedian of %d runs: driver %.3f s, ffmpeg %.3f s\n", runs, median(watched.wall), base);
    const double ratio = median(watched.wall) / base;
    std::printf("wall-time ratio driver/ffmpeg: %.3f (goal <= 1.10) %s\n", ratio, ratio <= 1.10 ? "ok" : "MISSED");
    // Each run's three conversions ran close together: their ratios see the
    // same load, which the medians of whole columns do not.
    std::vector<double> paired, pairedPoll;
    for (std::size_t i = 0; i < direct.size(); ++i) {
        paired.push_back(watched.wall[i] / direct[i]);
        pairedPoll.push_back(pollOnly.wall[i] / direct[i]);
    }
    std::printf("median of the runs' own ratios: %.3f (goal <= 1.10) %s\n", median(paired),
                median(paired) <= 1.10 ? "ok" : "MISSED");
    if (!watched.converterOnly.empty())
        std::printf("start-to-converter-exit ratio (the converter's own cost): %.3f\n",
                    median(watched.converterOnly) / base);
    const double worst = watched.delays.empty() ? -1 : *std::max_element(watched.delays.begin(), watched.delays.end());
    std::printf("exit-to-Complete delay: median %.1f ms, worst %.1f ms (goal <= 600 ms) %s\n", median(watched.delays),
                worst, worst >= 0 && worst <= 600 ? "ok" : "MISSED");
    const double pollWorst =
        pollOnly.delays.empty() ? -1 : *std::max_element(pollOnly.delays.begin(), pollOnly.delays.end());
    std::printf("without the end watch (the end left to the 300 ms ticks): ratio %.3f, exit-to-Complete median %.0f ms, "
                "worst %.0f ms; the runs' own ratios %.3f\n",
                median(pollOnly.wall) / base, median(pollOnly.delays), pollWorst, median(pairedPoll));
    return 0;
}
