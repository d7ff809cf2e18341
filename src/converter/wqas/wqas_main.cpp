// wqas.pga: the media converter that ships beside the main program. It takes
// a command line in the FFmpeg spelling of its day, runs today's ffmpeg with the
// equivalent options, keeps its own output down to a short progress line now and
// then, and ends with the encoder's exit status. Terminating it ends the encoder
// at once: the encoder is its child and is killed with it.

#include "translate.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#ifndef WQAS_FFMPEG
#define WQAS_FFMPEG "/usr/bin/ffmpeg"
#endif

namespace {

volatile sig_atomic_t g_child = 0;
volatile sig_atomic_t g_signal = 0;

const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

void onStop(int sig)
{
    g_signal = sig;
    const pid_t child = g_child;
    if (child > 0)
        ::kill(child, SIGKILL);
}

void say(const std::string &text)
{
    // Straight to the descriptor: nothing may wait in a buffer when the end comes.
    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(1, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // nobody listens any more: go on converting all the same
        p += n;
        left -= std::size_t(n);
    }
}

double now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Reads ffmpeg's key=value progress report and passes on one short line at
// most every second.
class ProgressRelay {
public:
    void feed(const char *data, std::size_t size)
    {
        m_pending.append(data, size);
        std::size_t nl;
        while ((nl = m_pending.find('\n')) != std::string::npos) {
            line(m_pending.substr(0, nl));
            m_pending.erase(0, nl + 1);
        }
    }

private:
    void line(const std::string &l)
    {
        if (l.rfind("out_time=", 0) == 0) {
            m_time = l.substr(9);
            if (const auto dot = m_time.find('.'); dot != std::string::npos)
                m_time.resize(dot);
        } else if (l.rfind("progress=", 0) == 0) {
            const double t = now();
            if (l == "progress=end") {
                say("wqas.pga: " + m_time + " converted, finishing\n");
            } else if (t - m_lastSaid >= 1.0 && !m_time.empty() && m_time[0] != '-') {
                say("wqas.pga: " + m_time + " converted\n");
                m_lastSaid = t;
            }
        }
    }

    std::string m_pending;
    std::string m_time;
    double m_lastSaid = 0;
};

} // namespace

int main(int argc, char **argv)
{
    ::signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> args(argv + 1, argv + argc);
    const wqas::Translation t = wqas::translate(args);
    if (!t.ok) {
        std::fprintf(stderr, "wqas.pga: %s\n", t.error.c_str());
        return 1;
    }

    std::vector<std::string> command = {WQAS_FFMPEG, "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error",
                                        "-progress", "pipe:3"};
    command.insert(command.end(), t.arguments.begin(), t.arguments.end());
    std::vector<char *> cargv;
    for (std::string &a : command)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    // Stop signals wait until the encoder's identity is known, so that none is lost.
    sigset_t stops, previous;
    sigemptyset(&stops);
    for (int sig : kStopSignals)
        sigaddset(&stops, sig);
    ::sigprocmask(SIG_BLOCK, &stops, &previous);
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: the read below returns to look at g_signal
    for (int sig : kStopSignals)
        ::sigaction(sig, &sa, nullptr);

    int progress[2];
    if (::pipe2(progress, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "wqas.pga: no pipe: %s\n", std::strerror(errno));
        return 1;
    }

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The encoder dies with the converter, however the converter ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        if (progress[1] == 3)
            ::fcntl(3, F_SETFD, 0);
        else
            ::dup2(progress[1], 3);
        for (int sig : kStopSignals)
            ::signal(sig, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        ::execv(cargv[0], cargv.data());
        const char msg[] = "wqas.pga: cannot run " WQAS_FFMPEG "\n";
        [[maybe_unused]] ssize_t w = ::write(2, msg, sizeof msg - 1);
        ::_exit(127);
    }
    ::close(progress[1]);
    if (pid < 0) {
        std::fprintf(stderr, "wqas.pga: cannot start the encoder: %s\n", std::strerror(errno));
        return 1;
    }
    g_child = pid;
    ::sigprocmask(SIG_SETMASK, &previous, nullptr); // a stop that came meanwhile is delivered here

    ProgressRelay relay;
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(progress[0], buffer, sizeof buffer);
        if (n > 0) {
            if (!g_signal)
                relay.feed(buffer, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // the encoder has ended (or closed its report)
    }
    ::close(progress[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (g_signal) {
        // End the way we were asked to, so that our parent sees the signal.
        const int sig = g_signal;
        ::signal(sig, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(sig);
        return 128 + sig;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) {
        std::fprintf(stderr, "wqas.pga: the encoder was ended by signal %d\n", WTERMSIG(status));
        return 128 + WTERMSIG(status);
    }
    return 1;
}
