// Damaged-source benchmark: a 20-second FLV with bytes overwritten in spots
// all along it (as a download mended by a flaky network or disk comes), so
// that the decoder reports an error in frame after frame. It is converted with
// the default output format's settings through the driver (AVC -> wqas.pga ->
// ffmpeg, read at 256 bytes a 300 ms tick) and by the same converter command
// with its output thrown away (/dev/null), the two taking turns at going first.
// Prints the ratio of the wall times (goal <= 1.25) and the delay from the
// converter's exit to the driver's Complete (goal <= 600 ms), with the bytes of
// converter output the driver read.
//
//   cmake --build build -j8 --target damaged_source_bench && build/bin/damaged_source_bench [runs] [converter]

#include "converter/avc.h"
#include "profiles/profiles.h"
#include "flv_media.h"
#include "process_control_probe.h"
#include "timed_run.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>



namespace {

using vidmora::test::ProcessControlProbe;
using Clock = ProcessControlProbe::Clock;
using vidmora::bench::median;

constexpr int kLimitSeconds = 120; // a conversion through the driver that takes longer is given up

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // Another build of the converter can be measured for comparison.
    const QString converter = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                       : QCoreApplication::applicationDirPath() + "/wqas.pga";
    if (!QFileInfo(converter).isExecutable()) {
        std::fprintf(stderr, "no converter at %s\n", qPrintable(converter));
        return 1;
    }
    QTemporaryDir dir;
    const QString src = dir.path() + "/damaged.flv";
    std::printf("making a damaged 20-second 320x240 FLV...\n");
    // The test suite's damaged source: the same noise on every run.
    if (!vidmora::test::makeDamagedFlv(src, 20)) {
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
    // The wait sleeps in an event loop: a waiter that polls would take a core
    // from the encoder and show as the driver's cost.
    QEventLoop *waiting = nullptr;
    QObject::connect(&avc, &vidmora::AVC::Complete, [&] {
        completedAt = Clock::now();
        complete = true;
        if (waiting)
            waiting->quit();
    });
    auto waitForComplete = [&](int ms) {
        if (complete)
            return;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(ms);
        waiting = &loop;
        loop.exec();
        waiting = nullptr;
    };
    QString error;
    QObject::connect(&avc, &vidmora::AVC::ErrorEvent, [&](QString &m) { error = m; });

    std::vector<double> driverWall, delays, discarded, converterOnly;
    std::vector<qint64> bytes;
    int driverExit = 0, discardedExit = 0;
    auto throughDriver = [&] {
        vidmora::profiles::applyProfile(
            avc, *vidmora::profiles::findProfile(QStringLiteral("AVI (MPEG4-DivX-Compatible)")));
        avc.setSourceFile(src);
        avc.setDestFile(dir.path() + "/via-driver.avi");
        complete = false;
        const qint64 bytesBefore = rec->bytesRead;
        const auto t0 = Clock::now();
        avc.ConvertMedia(true);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(error));
            return false;
        }
        waitForComplete(kLimitSeconds * 1000);
        if (!complete) {
            std::printf("through the driver: not done after %d s (%lld bytes of output read so far); cancelled\n",
                        kLimitSeconds, static_cast<long long>(rec->bytesRead - bytesBefore));
            std::fflush(stdout);
            avc.CancelConvert();
            waitForComplete(30000);
            return false;
        }
        driverExit = avc.ExitCode();
        driverWall.push_back(std::chrono::duration<double>(completedAt - t0).count());
        if (rec->exitSeen) {
            delays.push_back(std::chrono::duration<double, std::milli>(completedAt - rec->exitedAt).count());
            converterOnly.push_back(std::chrono::duration<double>(rec->exitedAt - t0).count());
        }
        bytes.push_back(rec->bytesRead - bytesBefore);
        return true;
    };

    // The converter's own words, as the driver started it, with another output name.
    std::vector<std::string> discardedArgs;
    auto withOutputDiscarded = [&] {
        if (discardedArgs.empty()) {
            const QStringList words = vidmora::platform::splitCommandLine(rec->lastCommandLine());
            for (const QString &w : words)
                discardedArgs.push_back(QFile::encodeName(w).toStdString());
            discardedArgs.back() = QFile::encodeName(dir.path() + "/discarded.avi").toStdString();
        }
        const double d = vidmora::bench::timedRun(discardedArgs, true, &discardedExit);
        if (d < 0) {
            std::fprintf(stderr, "the converter could not run\n");
            return false;
        }
        discarded.push_back(d);
        return true;
    };

    if (!throughDriver()) // the first run also gives the converter's line
        return 1;
    driverWall.clear();
    delays.clear();
    converterOnly.clear();
    bytes.clear();
    for (int run = 0; run < runs; ++run) {
        const bool driverFirst = run % 2 == 0;
        if (!(driverFirst ? throughDriver() : withOutputDiscarded()) ||
            !(driverFirst ? withOutputDiscarded() : throughDriver()))
            return 1;
        std::printf("run %d: driver %.3f s (exit-to-Complete %.1f ms, %lld bytes read), output discarded %.3f s\n",
                    run + 1, driverWall.back(), delays.empty() ? -1.0 : delays.back(),
                    static_cast<long long>(bytes.back()), discarded.back());
        std::fflush(stdout);
    }

    std::printf("\nconverter line: %s\n", qPrintable(rec->lastCommandLine()));
    std::printf("converter exit status: through the driver %d, output discarded %d\n", driverExit, discardedExit);
    std::vector<double> paired;
    for (std::size_t i = 0; i < discarded.size(); ++i)
        paired.push_back(driverWall[i] / discarded[i]);
    const double ratio = median(driverWall) / median(discarded);
    std::printf("median of %d runs: driver %.3f s, output discarded %.3f s\n", runs, median(driverWall),
                median(discarded));
    std::printf("wall-time ratio driver/discarded: %.3f (goal <= 1.25) %s; the runs' own ratios: median %.3f\n", ratio,
                ratio <= 1.25 ? "ok" : "MISSED", median(paired));
    if (!converterOnly.empty())
        std::printf("start-to-converter-exit through the driver / discarded: %.3f\n",
                    median(converterOnly) / median(discarded));
    const double worst = delays.empty() ? -1 : *std::max_element(delays.begin(), delays.end());
    std::printf("exit-to-Complete delay: median %.1f ms, worst %.1f ms (goal <= 600 ms) %s\n", median(delays), worst,
                worst >= 0 && worst <= 600 ? "ok" : "MISSED");
    std::printf("converter output read by the driver: %lld bytes a conversion (median)\n",
                static_cast<long long>(median(std::vector<double>(bytes.begin(), bytes.end()))));
    return 0;
}
