#include "ordinary_user.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vidmora::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr int kDropFailed = 3;
constexpr int kBodyThrew = 4;

void writeAll(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
}

// In the child: becomes `user` for good. A child that could take root back
// would prove nothing about permissions.
bool dropTo(const OrdinaryUser &user)
{
    if (::geteuid() != 0)
        return true;
    if (::setgroups(0, nullptr) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0)
        return false;
    return ::setuid(0) != 0 && ::geteuid() == user.uid && ::getegid() == user.gid;
}

// Gives every folder below `dir` back its owner's full rights, so that all of it can go.
void unlock(const std::filesystem::path &dir)
{
    ::chmod(dir.c_str(), S_IRWXU);
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        if (!it->is_symlink(ec) && it->is_directory(ec))
            unlock(it->path());
    }
}

std::string errorText(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

OrdinaryUser ordinaryUser()
{
    if (::geteuid() != 0)
        return {::getuid(), ::getgid()};
    if (const passwd *pw = ::getpwnam("nobody"); pw && pw->pw_uid != 0)
        return {pw->pw_uid, pw->pw_gid};
    return {kNobody, kNobody};
}

ChildOutcome runAsOrdinaryUser(const std::function<std::string()> &body, std::chrono::milliseconds bound)
{
    using Clock = std::chrono::steady_clock;
    ChildOutcome out;
    // Looked up before the fork: the name service is no place for a child of a threaded process.
    const OrdinaryUser user = ordinaryUser();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        out.problem = errorText("pipe");
        return out;
    }
    std::fflush(nullptr); // nothing buffered here is written twice
    const pid_t pid = ::fork();
    if (pid < 0) {
        out.problem = errorText("fork");
        ::close(fds[0]);
        ::close(fds[1]);
        return out;
    }
    if (pid == 0) {
        ::close(fds[0]);
        if (!dropTo(user)) {
            writeAll(fds[1], errorText("could not become the ordinary user"));
            ::_exit(kDropFailed);
        }
        std::string report;
        try {
            report = body();
        } catch (...) {
            writeAll(fds[1], "the body threw");
            ::_exit(kBodyThrew);
        }
        writeAll(fds[1], report);
        ::_exit(0);
    }
    ::close(fds[1]);

    const Clock::time_point deadline = Clock::now() + bound;
    auto msLeft = [&] {
        return std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    };
    std::string text;
    bool late = false;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int r = ::poll(&p, 1, int(std::min<long long>(msLeft(), 1000)));
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0) {
            if (msLeft() == 0) {
                late = true;
                break;
            }
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the child has ended, or closed its end on the way out
        text.append(buffer, std::size_t(n));
    }
    ::close(fds[0]);

    int status = 0;
    pid_t got = 0;
    while (!late && (got = ::waitpid(pid, &status, WNOHANG)) == 0) {
        if (msLeft() == 0) {
            late = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (late) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        out.problem = "still running after " + std::to_string(bound.count()) + " ms; killed";
        return out;
    }
    if (got < 0) {
        out.problem = errorText("waitpid");
    } else if (WIFSIGNALED(status)) {
        out.problem = std::string("ended by signal ") + std::to_string(WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0) {
        out.problem = text.empty() ? "exit status " + std::to_string(WEXITSTATUS(status)) : text;
    } else {
        out.ran = true;
        out.report = text;
    }
    return out;
}

OrdinaryUserDir::OrdinaryUserDir()
{
    char name[] = "/tmp/vidmora-user-XXXXXX";
    if (!::mkdtemp(name))
        return;
    const OrdinaryUser user = ordinaryUser();
    if ((::geteuid() == 0 && ::chown(name, user.uid, user.gid) != 0) || ::chmod(name, S_IRWXU) != 0) {
        ::rmdir(name);
        return;
    }
    m_path = name;
}

OrdinaryUserDir::~OrdinaryUserDir()
{
    if (m_path.empty())
        return;
    unlock(m_path);
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

} // namespace vidmora::test
