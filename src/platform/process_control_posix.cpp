#include "platform/process_control.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/epoll.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace vidmora::platform {

QStringList splitCommandLine(const QString &commandLine)
{
    QStringList words;
    const QString &s = commandLine;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };

    // The program is split as every other word: here a folder may hold a
    // double quote, which the driver writes \" as it does in file names.
    while (true) {
        while (i < n && isBlank(s[i]))
            ++i;
        if (i >= n)
            break;
        QString word;
        bool quoted = false;
        while (i < n) {
            if (!quoted && isBlank(s[i]))
                break;
            if (s[i] == u'\\') {
                qsizetype slashes = 0;
                while (i < n && s[i] == u'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && s[i] == u'"') {
                    word += QString(slashes / 2, u'\\');
                    if (slashes % 2) {
                        word += u'"';
                        ++i;
                    }
                    // An even count leaves the quote to group below.
                } else {
                    word += QString(slashes, u'\\');
                }
                continue;
            }
            if (s[i] == u'"') {
                if (quoted && i + 1 < n && s[i + 1] == u'"') {
                    word += u'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            word += s[i++];
        }
        words << word;
    }
    return words;
}

namespace {

QByteArray readProcFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

qint64 parentOf(qint64 pid)
{
    // The command name in /proc/<pid>/stat may hold blanks and ')': the fields
    // after the last ')' are plain.
    const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() : 0;
}

// A process that has exited and waits to be reaped runs no more: the host's
// process list does not show it, and terminating it ends nothing.
bool hasExited(qint64 pid)
{
    const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return true; // gone
    const char state = stat.at(close + 2);
    return state == 'Z' || state == 'X';
}

QString baseName(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return QFile::decodeName(slash >= 0 ? path.mid(slash + 1) : path);
}

// The file name of the program a process runs. The executable's own name when
// the process runs a binary; for a script the kernel names the process after the
// script (comm, cut to 15 characters) while the executable is the interpreter,
// so the script's path is looked up among the first words of its command line.
QString processFileName(qint64 pid)
{
    QByteArray comm = readProcFile(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.endsWith('\n'))
        comm.chop(1);
    const QString commName = QFile::decodeName(comm);

    QString exeName;
    const QByteArray exe = QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)));
    if (!exe.isEmpty()) {
        QByteArray path = exe;
        if (path.endsWith(" (deleted)"))
            path.chop(10);
        exeName = baseName(path);
        if (!commName.isEmpty() && exeName.startsWith(commName))
            return exeName;
    }
    if (commName.isEmpty())
        return exeName;

    const QList<QByteArray> argv = readProcFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0');
    for (qsizetype k = 0; k < argv.size() && k < 3; ++k) {
        const QString name = baseName(argv[k]);
        if (!name.isEmpty() && name.startsWith(commName))
            return name;
    }
    return commName;
}

// Never throws: it runs from the driver's destructor and its poll. When no
// thread can be had, the child is left unreaped rather than the program ended.
void reapInBackground(pid_t pid) noexcept
{
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
    }
}

int statusToExitCode(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Where the host looks for a program named without a folder: the program's own
// folder, the current folder, then the system folders.
QString locateProgram(const QString &program)
{
    if (program.contains(u'/'))
        return program;
    QStringList folders;
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
    folders << QDir::currentPath() << QStringLiteral("/usr/local/bin") << QStringLiteral("/usr/bin")
            << QStringLiteral("/bin");
    for (const QString &folder : folders) {
        const QString candidate = folder + u'/' + program;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return program;
}

// The pipe is registered with an epoll set for no events at all: epoll still
// reports a hang-up (every write end closed), and nothing else, so the set's
// own descriptor becomes readable exactly when the writer has gone. Data that
// the writer sends before that wakes nobody.
class EpollPipeEndWatch final : public PipeEndWatch {
public:
    explicit EpollPipeEndWatch(int epollFd)
        : m_epoll(epollFd)
        , m_notifier(epollFd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] {
            // The hang-up stays reported: tell it once.
            m_notifier.setEnabled(false);
            emit ended();
        });
    }
    ~EpollPipeEndWatch() override
    {
        m_notifier.setEnabled(false);
        ::close(m_epoll);
    }

private:
    int m_epoll;
    QSocketNotifier m_notifier; // declared after the descriptor: goes first
};

class PosixProcessControl final : public ProcessControl {
public:
    explicit PosixProcessControl(ProcessScope scope)
        : m_scope(scope)
    {
    }

    bool createPipe(int &readEnd, int &writeEnd) override
    {
        readEnd = writeEnd = kNoPipe;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        readEnd = fds[0];
        writeEnd = fds[1];
        return true;
    }

    qint64 createProcess(const QString &commandLine, int outputEnd, QString &error) override
    {
        const QStringList words = splitCommandLine(commandLine);
        if (words.isEmpty() || words.first().isEmpty()) {
            error = QStringLiteral("no program named");
            return 0;
        }
        // Everything the child needs is made before the fork: after it, only
        // async-signal-safe calls are allowed.
        const std::string path = QFile::encodeName(locateProgram(words.first())).toStdString();
        std::vector<std::string> args;
        for (const QString &w : words)
            args.push_back(QFile::encodeName(w).toStdString());
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        const int nullInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        int failPipe[2];
        if (nullInput < 0 || ::pipe2(failPipe, O_CLOEXEC) != 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            if (nullInput >= 0)
                ::close(nullInput);
            return 0;
        }

        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(nullInput, 0);
            ::dup2(outputEnd, 1);
            ::dup2(outputEnd, 2);
            for (int sig = 1; sig < NSIG; ++sig)
                ::signal(sig, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            // Only the three standard streams go to the child.
            if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
                for (int fd = 3; fd < 4096; ++fd)
                    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
            ::execve(path.c_str(), argv.data(), environ);
            const int err = errno;
            [[maybe_unused]] ssize_t w = ::write(failPipe[1], &err, sizeof err);
            ::_exit(127);
        }
        ::close(nullInput);
        ::close(failPipe[1]);
        if (pid < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(failPipe[0]);
            return 0;
        }
        // The failure pipe closes on a successful exec; an errno arrives when it failed.
        int childErr = 0;
        ssize_t got;
        while ((got = ::read(failPipe[0], &childErr, sizeof childErr)) < 0 && errno == EINTR) {
        }
        ::close(failPipe[0]);
        if (got == sizeof childErr) {
            int status;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            error = QString::fromLocal8Bit(std::strerror(childErr));
            return 0;
        }
        return pid;
    }

    ReadStatus readPipe(int readEnd, char *buffer, int size, int &bytesRead) override
    {
        bytesRead = 0;
        if (readEnd < 0)
            return ReadStatus::Ended;
        ssize_t got;
        while ((got = ::read(readEnd, buffer, size_t(size))) < 0 && errno == EINTR) {
        }
        if (got > 0) {
            bytesRead = int(got);
            return ReadStatus::Data;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return ReadStatus::NoData;
        return ReadStatus::Ended;
    }

    void closePipe(int end) override
    {
        if (end >= 0)
            ::close(end);
    }

    std::unique_ptr<PipeEndWatch> watchPipeEnd(int readEnd) override
    {
        if (readEnd < 0 || !QCoreApplication::instance())
            return nullptr;
        const int epollFd = ::epoll_create1(EPOLL_CLOEXEC);
        if (epollFd < 0)
            return nullptr;
        epoll_event event{};
        event.events = 0; // hang-up and error only, which epoll always reports
        event.data.fd = readEnd;
        if (::epoll_ctl(epollFd, EPOLL_CTL_ADD, readEnd, &event) != 0) {
            ::close(epollFd);
            return nullptr;
        }
        return std::make_unique<EpollPipeEndWatch>(epollFd);
    }

    qint64 pipeBytesWaiting(int readEnd) override
    {
        int waiting = 0;
        if (readEnd < 0 || ::ioctl(readEnd, FIONREAD, &waiting) != 0)
            return -1;
        return waiting;
    }

    int closeProcess(qint64 pid) override
    {
        if (pid <= 0)
            return -1;
        // The output has ended, so the exit is a matter of moments. A process
        // descriptor wakes us the moment it comes; without one (an older
        // kernel), look every 2 ms.
        const int pidFd = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
        if (pidFd >= 0) {
            pollfd f{pidFd, POLLIN, 0};
            int r;
            while ((r = ::poll(&f, 1, 1000)) < 0 && errno == EINTR) {
            }
            ::close(pidFd);
        }
        for (int waited = 0; waited < 1000; waited += 2) {
            int status = 0;
            const pid_t r = ::waitpid(pid_t(pid), &status, WNOHANG);
            if (r == pid_t(pid))
                return statusToExitCode(status);
            if (r < 0 && errno != EINTR)
                return -1;
            if (pidFd >= 0)
                break; // the bound has passed already
            const timespec pause{0, 2 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
        reapInBackground(pid_t(pid));
        return -1;
    }

    void detachProcess(qint64 pid) override
    {
        if (pid > 0)
            reapInBackground(pid_t(pid));
    }

    QList<ProcessEntry> processList() override
    {
        QList<ProcessEntry> list;
        const QStringList names = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QHash<qint64, qint64> parents;
        for (const QString &name : names) {
            bool isPid = false;
            const qint64 pid = name.toLongLong(&isPid);
            if (!isPid || pid <= 0)
                continue;
            if (m_scope == ProcessScope::OwnDescendants && !isOwnDescendant(pid, parents))
                continue;
            if (hasExited(pid))
                continue;
            const QString exe = processFileName(pid);
            if (!exe.isEmpty()) // gone meanwhile
                list.append({pid, exe});
        }
        return list;
    }

    bool terminateProcess(qint64 pid) override
    {
        if (pid <= 0 || pid == ::getpid())
            return false;
        if (m_scope == ProcessScope::OwnDescendants) {
            QHash<qint64, qint64> parents;
            if (!isOwnDescendant(pid, parents))
                return false;
        }
        return ::kill(pid_t(pid), SIGKILL) == 0;
    }

    QString shortPathName(const QString &longPath) override
    {
        return !longPath.isEmpty() && QFileInfo::exists(longPath) ? longPath : QString();
    }

private:
    static bool isOwnDescendant(qint64 pid, QHash<qint64, qint64> &parents)
    {
        const qint64 self = ::getpid();
        qint64 at = pid;
        for (int depth = 0; depth < 64 && at > 1; ++depth) {
            auto it = parents.find(at);
            const qint64 parent = it != parents.end() ? *it : *parents.insert(at, parentOf(at));
            if (parent == self)
                return true;
            at = parent;
        }
        return false;
    }

    ProcessScope m_scope;
};

} // namespace

std::unique_ptr<ProcessControl> makeProcessControl(ProcessScope scope)
{
    return std::make_unique<PosixProcessControl>(scope);
}

} // namespace vidmora::platform
