// Both programs as most users run them: on an X server with a window manager
// (Xvfb and openbox), driven with xdotool as a hand drives the pointer. A drag
// by the title strip has to end where the button is released, and the next
// click has to reach the window.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "event_wait.h"
#include "proc_stat.h"

namespace vidmora::test {
namespace {

constexpr int kBoundMs = 90000;
// Large enough that both windows fit side by side with room to move.
constexpr int kScreenWidth = 1600;
constexpr int kScreenHeight = 1000;

constexpr QPoint kVidmoraStrip(300, 20); // a free spot of the main window's title strip
constexpr QPoint kZeltoStrip(700, 10);   // a spot of Zelto's title strip that nothing covers
constexpr QPoint kZeltoX(872, 16);       // the middle of Zelto's "X"
constexpr QPoint kDragBy(60, 50);

QString builtProgram(const char *name)
{
    return QDir(QStringLiteral(VIDMORA_TEST_BIN_DIR)).filePath(QString::fromLatin1(name));
}

// Children die with this program, also when it is killed: the X server takes
// the window manager and both programs with it.
void dieWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

class WindowManagerDesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The main program starts Zelto detached; as the subreaper this test
        // program adopts it and its web-engine helpers, so it can end them all.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    }

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        for (const char *tool : {"Xvfb", "openbox", "xdotool"})
            ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                << tool << " is missing: scripts/install-deps.sh installs it";

        // The X server picks a free display itself and writes its number to stdout.
        dieWithParent(xserver);
        xserver.setProcessChannelMode(QProcess::SeparateChannels);
        xserver.setStandardErrorFile(QProcess::nullDevice());
        xserver.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight)});
        ASSERT_TRUE(xserver.waitForStarted(20000));
        ASSERT_TRUE(waitUntil([&] { return xserver.canReadLine() || xserver.state() != QProcess::Running; }, kBoundMs));
        const QByteArray display = xserver.readLine().trimmed();
        ASSERT_FALSE(display.isEmpty()) << "Xvfb did not come up";

        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(display));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // The main program makes its save folder in the home folder.
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral(".cache")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral(".local/share")));

        // openbox runs its start-up command once it manages the screen.
        const QString ready = home.filePath(QStringLiteral("wm-ready"));
        dieWithParent(windowManager);
        windowManager.setProcessEnvironment(env);
        windowManager.setStandardOutputFile(QProcess::nullDevice());
        windowManager.setStandardErrorFile(QProcess::nullDevice());
        windowManager.start(QStringLiteral("openbox"),
                            {QStringLiteral("--sm-disable"), QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
        ASSERT_TRUE(windowManager.waitForStarted(20000));
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(ready); }, kBoundMs)) << "openbox did not start";

        // The main program starts Zelto from its own folder. Both talk to the
        // deployment's hosts, which do not answer here; they keep running.
        const QString program = builtProgram("vidmora");
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << "bin/vidmora must be built";
        ASSERT_TRUE(QFileInfo(builtProgram("zelto")).isExecutable()) << "bin/zelto must be built";
        dieWithParent(vidmora);
        vidmora.setProcessEnvironment(env);
        vidmora.setWorkingDirectory(home.path());
        vidmora.setStandardOutputFile(QProcess::nullDevice());
        vidmora.setStandardErrorFile(QProcess::nullDevice());
        vidmora.start(program, {});
        ASSERT_TRUE(vidmora.waitForStarted(20000));
    }

    void TearDown() override
    {
        // The main program, then whatever it started (Zelto and its helpers),
        // then the window manager and the X server.
        vidmora.kill();
        vidmora.waitForFinished(10000);
        const QList<qint64> own{qint64(xserver.processId()), qint64(windowManager.processId())};
        waitUntil([&] {
            bool left = false;
            for (const ProcessId &p : descendants(::getpid())) {
                if (own.contains(p.pid))
                    continue;
                left = true;
                ::kill(pid_t(p.pid), SIGKILL);
                ::waitpid(pid_t(p.pid), nullptr, WNOHANG); // adopted ones are reaped here
            }
            return !left;
        }, kBoundMs);
        // Asked first, so that the X server takes its socket and lock file away.
        for (QProcess *p : {&windowManager, &xserver}) {
            p->terminate();
            if (!p->waitForFinished(10000)) {
                p->kill();
                p->waitForFinished(10000);
            }
        }

        const bool nothingLeft = waitUntil([&] { return descendants(::getpid()).isEmpty(); }, 20000);
        EXPECT_TRUE(nothingLeft) << descendants(::getpid()).size() << " process(es) left behind";
    }

    // Runs xdotool with `args` on the test's display; false when it failed.
    bool xdotool(const QStringList &args, QString *output = nullptr)
    {
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
            tool.kill();
            tool.waitForFinished(5000);
            return false;
        }
        if (output)
            *output = QString::fromLocal8Bit(tool.readAllStandardOutput());
        return true;
    }

    // The shown top-level window titled exactly `title`; 0 when none came up.
    qulonglong visibleWindow(const QString &title)
    {
        QString found;
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                 QLatin1Char('^') + title + QLatin1Char('$')},
                &found);
        return found.section(QLatin1Char('\n'), 0, 0).trimmed().toULongLong();
    }

    qulonglong waitForWindow(const QString &title)
    {
        qulonglong id = 0;
        waitUntil([&] { return (id = visibleWindow(title)) != 0; }, kBoundMs);
        return id;
    }

    // Zelto's window, once its timer has shown it for good: it hides on its
    // first activation, just after it first shows, and its timer shows it again
    // 3 seconds after it was made.
    qulonglong waitForZelto()
    {
        if (waitForWindow(QStringLiteral("Zelto")) == 0)
            return 0;
        QThread::msleep(3500);
        qulonglong id = 0;
        QDeadlineTimer steady(1500);
        waitUntil([&] {
            if ((id = visibleWindow(QStringLiteral("Zelto"))) == 0)
                steady.setRemainingTime(1500);
            return id != 0 && steady.hasExpired();
        }, kBoundMs);
        return id;
    }

    // The window's top-left corner on the screen.
    QPoint windowPos(qulonglong id)
    {
        QString shell;
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(id)}, &shell);
        const QRegularExpressionMatch x = QRegularExpression(QStringLiteral("^X=(-?\\d+)$"), QRegularExpression::MultilineOption).match(shell);
        const QRegularExpressionMatch y = QRegularExpression(QStringLiteral("^Y=(-?\\d+)$"), QRegularExpression::MultilineOption).match(shell);
        if (!x.hasMatch() || !y.hasMatch())
            return QPoint(-100000, -100000);
        return QPoint(x.captured(1).toInt(), y.captured(1).toInt());
    }

    // Whether the window gets to `at` (the window manager moves it in its own time).
    bool waitForPos(qulonglong id, QPoint at, QPoint *seen)
    {
        return waitUntil([&] { return (*seen = windowPos(id)) == at; }, 10000);
    }

    // Presses `button` at `from`, moves one pixel, then by kDragBy, releases,
    // and moves the pointer on by another stretch with no button held.
    bool dragAndMoveOn(QPoint from, int button = 1)
    {
        const auto at = [](QPoint p) { return QStringList{QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())}; };
        const QStringList pause{QStringLiteral("sleep"), QStringLiteral("0.3")};
        const QString b = QString::number(button);
        const QPoint end = from + QPoint(1, 0) + kDragBy;
        const QStringList script = at(from) + pause + QStringList{QStringLiteral("mousedown"), b} + pause
            + at(from + QPoint(1, 0)) + pause + at(end) + pause + QStringList{QStringLiteral("mouseup"), b} + pause
            + at(end + QPoint(150, 120)) + pause + at(end + QPoint(260, 200)) + pause;
        return xdotool(script);
    }

    // Whether the window keeps to `at` while the pointer wanders with no button.
    bool staysAt(qulonglong id, QPoint at, QPoint *seen)
    {
        for (int i = 0; i < 4; ++i) {
            xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("--"), QString::number(i % 2 ? -70 : 90), QStringLiteral("45")});
            QThread::msleep(250);
            if ((*seen = windowPos(id)) != at)
                return false;
        }
        return true;
    }

    QTemporaryDir home;
    QProcessEnvironment env;
    QProcess xserver;
    QProcess windowManager;
    QProcess vidmora;
};

TEST_F(WindowManagerDesktop, MainWindowFollowsTheLeftButtonUntilItIsReleased)
{
    const qulonglong window = waitForWindow(QStringLiteral("Vidmora"));
    ASSERT_NE(window, 0u) << "the main window never came up";
    // Zelto comes up over the middle of the screen; the main window goes on top for its drags.
    ASSERT_NE(waitForZelto(), 0u);
    ASSERT_TRUE(xdotool({QStringLiteral("windowraise"), QString::number(window)}));
    const QPoint start = windowPos(window);
    QPoint seen;

    // The right button drags nothing.
    ASSERT_TRUE(dragAndMoveOn(start + kVidmoraStrip, 3));
    EXPECT_TRUE(staysAt(window, start, &seen)) << "moved to " << seen.x() << "," << seen.y();

    // The left button takes the window along, the first movement included, and leaves it at the release.
    ASSERT_TRUE(dragAndMoveOn(start + kVidmoraStrip));
    const QPoint moved = start + kDragBy;
    EXPECT_TRUE(waitForPos(window, moved, &seen)) << "at " << seen.x() << "," << seen.y() << ", not "
                                                  << moved.x() << "," << moved.y();
    EXPECT_TRUE(staysAt(window, seen, &seen)) << "followed the pointer after the release, to " << seen.x() << "," << seen.y();

    // A second drag starts from where the first one left it.
    const QPoint from = windowPos(window);
    ASSERT_TRUE(dragAndMoveOn(from + kVidmoraStrip));
    EXPECT_TRUE(waitForPos(window, from + kDragBy, &seen)) << "at " << seen.x() << "," << seen.y();
    EXPECT_TRUE(staysAt(window, seen, &seen)) << "followed the pointer after the release, to " << seen.x() << "," << seen.y();
    EXPECT_EQ(vidmora.state(), QProcess::Running);
}

TEST_F(WindowManagerDesktop, ZeltoStaysWhereTheDragLeftItAndItsXEndsIt)
{
    const qulonglong window = waitForZelto();
    ASSERT_NE(window, 0u) << "Zelto never came up";
    QString pidText;
    ASSERT_TRUE(xdotool({QStringLiteral("getwindowpid"), QString::number(window)}, &pidText));
    pidText = pidText.trimmed();
    ProcessId zelto{pidText.toLongLong(), {}};
    ProcStat stat;
    ASSERT_TRUE(zelto.pid > 0 && readProcStat(zelto.pid, &stat)) << "no process for Zelto's window: " << pidText.toStdString();
    zelto.startTime = stat.startTime;
    ASSERT_TRUE(xdotool({QStringLiteral("windowraise"), QString::number(window)}));
    const QPoint start = windowPos(window);
    QPoint seen;

    ASSERT_TRUE(dragAndMoveOn(start + kZeltoStrip));
    const QPoint moved = start + kDragBy;
    EXPECT_TRUE(waitForPos(window, moved, &seen)) << "at " << seen.x() << "," << seen.y() << ", not "
                                                  << moved.x() << "," << moved.y();
    EXPECT_TRUE(staysAt(window, seen, &seen)) << "followed the pointer after the release, to " << seen.x() << "," << seen.y();

    // The next click goes to "X", where the drag left it, and ends the program.
    const QPoint x = windowPos(window) + kZeltoX;
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(x.x()), QString::number(x.y()),
                         QStringLiteral("sleep"), QStringLiteral("0.3"), QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(waitUntil([&] { return !running(zelto); }, kBoundMs)) << "Zelto still runs after a click on \"X\"";
    EXPECT_EQ(vidmora.state(), QProcess::Running) << "the main program goes on without Zelto";
}

} // namespace
} // namespace vidmora::test
