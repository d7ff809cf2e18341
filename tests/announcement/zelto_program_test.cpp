#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QTcpServer>

#include "event_wait.h"
#include "vnc_pointer.h"

using vidmora::test::VncPointer;
using vidmora::test::waitUntil;

namespace {

// The screen is exactly the window's size, so the centred window sits at 0,0
// and its "X" (864,8 17 x 17) covers the screen's pixel 872,16.
constexpr int kScreenWidth = 905;
constexpr int kScreenHeight = 514;
constexpr QPoint kXButton(872, 16);

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Runs the built program with Qt's VNC platform as its screen, so that the test
// can point and click as a user does. The program reads no arguments and no
// settings, so its pages go to the deployment's host, which is not reachable
// here: the pages fail to load, and the program must keep running all the same.
class ZeltoProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (zelto.state() != QProcess::NotRunning) {
            zelto.kill();
            zelto.waitForFinished(10000);
        }
    }

    bool start()
    {
        const QString program = QDir(QStringLiteral(VIDMORA_TEST_BIN_DIR)).filePath(QStringLiteral("zelto"));
        if (!QFileInfo(program).isExecutable())
            return false;
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
        return zelto.waitForStarted(30000);
    }

    bool connectViewer()
    {
        return waitUntil([&] {
            return zelto.state() != QProcess::Running || vnc.connectTo(port, 2000);
        }, 60000) && vnc.connected();
    }

    QProcess zelto;
    VncPointer vnc;
    quint16 port = 0;
};

TEST_F(ZeltoProgram, XButtonEndsTheProgram)
{
    ASSERT_TRUE(start()) << "bin/zelto must be built: " << VIDMORA_TEST_BIN_DIR;
    ASSERT_TRUE(connectViewer()) << "no VNC screen on port " << port;
    EXPECT_EQ(vnc.screenWidth(), kScreenWidth);
    EXPECT_EQ(vnc.screenHeight(), kScreenHeight);

    // The window hides on its first activation and comes back on its timer;
    // click "X" until the program is gone.
    const bool ended = waitUntil([&] {
        if (zelto.state() == QProcess::NotRunning)
            return true;
        vnc.click(kXButton.x(), kXButton.y());
        return zelto.waitForFinished(300);
    }, 90000);
    ASSERT_TRUE(ended) << "the program is still running";
    EXPECT_EQ(zelto.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zelto.exitCode(), 0);
}

TEST_F(ZeltoProgram, KeepsRunningWithoutItsPagesOrAClick)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(connectViewer());
    // Pointer movement over the window without a click, while the pages fail.
    for (int i = 0; i < 20 && zelto.state() == QProcess::Running; ++i) {
        vnc.pointer(400 + i, 200, 0);
        zelto.waitForFinished(250);
    }
    EXPECT_EQ(zelto.state(), QProcess::Running);
}

} // namespace
