#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QTcpServer>

#include "announcement/assets/artwork.h"
#include "event_wait.h"
#include "proc_stat.h"
#include "vnc_pointer.h"

using vidmora::test::descendants;
using vidmora::test::ProcessId;
using vidmora::test::running;
using vidmora::test::VncPointer;
using vidmora::test::waitUntil;

namespace {

// The program's screen is a little larger than its window, so the centred
// window sits at 100,50.
constexpr int kScreenWidth = 1105;
constexpr int kScreenHeight = 614;
constexpr QPoint kWindowAtStart(100, 50);
constexpr QPoint kXButton(872, 16);     // the middle of "X" (864,8 17 x 17) in the window
constexpr QPoint kStripSample(600, 5);  // a spot of the title strip that nothing covers
constexpr int kBoundMs = 90000;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Runs the built program with Qt's VNC platform as its screen, so that the test
// points, drags and clicks as a user does. The program reads no arguments and
// no settings, so its pages go to the deployment's host, which is not reachable
// here: the pages fail to load, and the program keeps running all the same.
class ZeltoProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (zelto.state() != QProcess::NotRunning) {
            zelto.kill();
            zelto.waitForFinished(10000);
        }
    }

    void startAndConnect()
    {
        const QString program = QDir(QStringLiteral(VIDMORA_TEST_BIN_DIR)).filePath(QStringLiteral("zelto"));
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << "bin/zelto must be built: " << VIDMORA_TEST_BIN_DIR;
        // A port taken by someone else between the probe and the program's
        // listen leaves no screen to connect to: start again on another one.
        for (int attempt = 0; attempt < 3 && !vnc.connected(); ++attempt) {
            TearDown();
            port = freePort();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("DISPLAY"));
            env.remove(QStringLiteral("WAYLAND_DISPLAY"));
            env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       QStringLiteral("vnc:size=%1x%2:port=%3").arg(kScreenWidth).arg(kScreenHeight).arg(port));
            zelto.setProcessEnvironment(env);
            zelto.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            zelto.setStandardOutputFile(QProcess::nullDevice());
            zelto.start(program, {});
            ASSERT_TRUE(zelto.waitForStarted(30000));
            waitUntil([&] { return zelto.state() != QProcess::Running || vnc.connectTo(port, 2000); }, kBoundMs / 3);
        }
        ASSERT_TRUE(vnc.connected()) << "no VNC screen on port " << port;
        ASSERT_EQ(zelto.state(), QProcess::Running);
        ASSERT_EQ(vnc.screenWidth(), kScreenWidth);
        ASSERT_EQ(vnc.screenHeight(), kScreenHeight);
    }

    // Whether the title strip is on screen with its top-left corner at `window`.
    bool stripAt(QPoint window)
    {
        QRgb seen = 0;
        const QPoint spot = window + kStripSample;
        return vnc.pixel(spot.x(), spot.y(), &seen, 5000) && seen == strip.pixel(kStripSample);
    }

    bool waitForStripAt(QPoint window)
    {
        return waitUntil([&] { return zelto.state() == QProcess::Running && stripAt(window); }, kBoundMs);
    }

    bool ended()
    {
        return zelto.state() == QProcess::NotRunning || zelto.waitForFinished(kBoundMs);
    }

    const QImage strip = vidmora::announcement::assets::drawTitleStrip();
    QProcess zelto;
    VncPointer vnc;
    quint16 port = 0;
};

TEST_F(ZeltoProgram, ComesUpOnItsTimerAndEndsWithX)
{
    startAndConnect();
    // Hidden on its first activation, back on its timer; the pages fail meanwhile.
    ASSERT_TRUE(waitForStripAt(kWindowAtStart)) << "the window never came up";
    EXPECT_EQ(zelto.state(), QProcess::Running);

    const QList<ProcessId> helpers = descendants(zelto.processId());
    EXPECT_FALSE(helpers.isEmpty()) << "the web engine runs its pages in helper processes";

    const QPoint x = kWindowAtStart + kXButton;
    ASSERT_TRUE(vnc.click(x.x(), x.y()));
    ASSERT_TRUE(ended()) << "the program is still running after \"X\"";
    EXPECT_EQ(zelto.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zelto.exitCode(), 0);

    // Its helpers end with it.
    QList<qint64> left;
    const bool allEnded = waitUntil([&] {
        left.clear();
        for (const ProcessId &p : helpers)
            if (running(p))
                left.append(p.pid);
        return left.isEmpty();
    }, kBoundMs);
    EXPECT_TRUE(allEnded) << left.size() << " helper process(es) still running, the first " << left.value(0);
}

TEST_F(ZeltoProgram, TitleStripDragsTheWindowWithTheLeftButtonOnly)
{
    startAndConnect();
    ASSERT_TRUE(waitForStripAt(kWindowAtStart));

    // Small steps, as a hand moves: this screen drops pointer events that fall
    // outside every window, so the pointer must stay over the window it drags.
    const QPoint grip = kWindowAtStart + QPoint(300, 10);
    const QPoint step(-5, -3);
    const auto drag = [&](int mask) {
        vnc.pointer(grip.x(), grip.y(), 0);
        vnc.pointer(grip.x(), grip.y(), mask);
        for (int i = 1; i <= 10; ++i)
            vnc.pointer(grip.x() + i * step.x(), grip.y() + i * step.y(), mask);
        vnc.pointer(grip.x() + 10 * step.x(), grip.y() + 10 * step.y(), 0);
    };
    drag(4); // the right button alone moves nothing
    drag(5); // nor the left button with the right one
    drag(1); // the left button alone takes the window along
    const QPoint by = 10 * step;

    const QPoint moved = kWindowAtStart + by;
    ASSERT_TRUE(waitForStripAt(moved)) << "the window did not follow the left button";

    // "X" is found where the window now is; had the right button moved it, this click would miss.
    const QPoint x = moved + kXButton;
    ASSERT_TRUE(vnc.click(x.x(), x.y()));
    ASSERT_TRUE(ended()) << "\"X\" was not where the drag left the window";
    EXPECT_EQ(zelto.exitCode(), 0);
}

} // namespace
