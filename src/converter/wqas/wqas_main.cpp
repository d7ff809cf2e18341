// wqas.pga: the media converter that ships beside the main program. It takes
// a command line in the FFmpeg spelling of its day, runs today's ffmpeg with the
// equivalent options and ends with the encoder's exit status. Terminating it
// ends the encoder at once: the encoder is its child and is killed with it.
//
// The encoder writes under a temporary name beside the output, which becomes
// the output only once the encoder has finished with success: a failed or
// stopped conversion leaves a file that was there before as it was.
//
// The encoder's own messages are read here as fast as it writes them and
// passed on condensed (the first few different ones, then a count once a
// second, and a short progress line), never more than a reader that takes 256
// bytes every 300 ms can keep up with: a damaged input with an error in every
// frame must not make the encoder wait on its error output.

#include "partial_output.h"
#include "platform/file_beside.h"
#include "translate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
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

// What may wait unread in our output pipe. The reader takes 256 bytes a
// tick and ends at once when less than that is left once we are gone, so
// the running output keeps well below it and the last words fit beside it.
constexpr int kRunningBacklog = 160;
constexpr int kFinalBacklog = 240;
// A passed-on message, "..." and its line end included, fits the running
// backlog on its own: a longer one is cut to fit.
constexpr std::size_t kMessageLength = kRunningBacklog;
constexpr char kCutMark[] = "...";
constexpr int kDistinctShown = 4;            // different messages passed on in full

void onStop(int sig)
{
    g_signal = sig;
    const pid_t child = g_child;
    if (child > 0)
        ::kill(child, SIGKILL);
}

double now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Bytes written to `fd` that its reader has not taken yet; 0 when `fd` is not
// a pipe (a terminal or a file never holds anything back).
int unread(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode))
        return 0;
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

void writeAll(int fd, const std::string &text)
{
    // Straight to the descriptor: nothing may wait in a buffer when the end comes.
    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // nobody listens any more: go on converting all the same
        p += n;
        left -= std::size_t(n);
    }
}

// Writes `text` to `fd` when what then waits unread stays within `backlog`
// bytes; otherwise writes nothing and says so.
bool sayWithin(int fd, const std::string &text, int backlog)
{
    const int waiting = std::max(unread(1), unread(2)); // both usually end in the same pipe
    if (waiting + int(text.size()) > backlog)
        return false;
    writeAll(fd, text);
    return true;
}

void replaceAll(std::string &text, const std::string &from, const std::string &to)
{
    if (from.empty())
        return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Messages that differ only in numbers and addresses ("Error at MB: 716")
// count as the same message.
std::string messageKind(const std::string &line)
{
    std::string kind;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '0' && i + 1 < line.size() && line[i + 1] == 'x') {
            kind += '#';
            for (i += 2; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); ++i) {
            }
            --i;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            if (kind.empty() || kind.back() != '#')
                kind += '#';
        } else {
            kind += c;
        }
    }
    return kind;
}

// Condenses the encoder's output: its key=value progress report becomes one
// short line at most every second; its messages pass on while they are new
// and the reader keeps up, the rest as a count once a second.
class Relay {
public:
    Relay(std::string temporary, std::string output)
        : m_temporary(std::move(temporary))
        , m_output(std::move(output))
    {
    }

    void progress(const char *data, std::size_t size)
    {
        forLines(m_progressPending, data, size, [this](const std::string &l) { progressLine(l); });
    }

    void messages(const char *data, std::size_t size)
    {
        forLines(m_messagesPending, data, size, [this](const std::string &l) { message(l); });
    }

    // Called at least once a second while the encoder runs.
    void tick()
    {
        if (now() - m_lastCount >= 1.0) {
            sayCount(kRunningBacklog);
            m_lastCount = now();
        }
    }

    // The encoder has ended: its last words, within what the reader can take
    // at once.
    void finish(bool failed)
    {
        if (!m_messagesPending.empty())
            message(m_messagesPending);
        m_messagesPending.clear();
        sayCount(kFinalBacklog);
        if (failed && !m_lastHidden.empty())
            sayWithin(2, "wqas.pga: last: " + shown(m_lastHidden) + "\n", kFinalBacklog);
    }

private:
    template <typename F>
    static void forLines(std::string &pending, const char *data, std::size_t size, F &&each)
    {
        pending.append(data, size);
        std::size_t end;
        while ((end = pending.find_first_of("\r\n")) != std::string::npos) {
            if (end > 0)
                each(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
        // A line without end that grows without bound is cut into pieces.
        if (pending.size() > 4096) {
            each(pending);
            pending.clear();
        }
    }

    std::string shown(const std::string &line) const
    {
        std::string text = line;
        replaceAll(text, m_temporary, m_output); // the user knows the file by its own name
        if (text.size() + 1 > kMessageLength) {
            std::size_t cut = kMessageLength - 1 - (sizeof kCutMark - 1);
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text.resize(cut);
            text += kCutMark;
        }
        return text;
    }

    void message(const std::string &line)
    {
        const std::string kind = messageKind(line);
        if (int(m_kinds.size()) < kDistinctShown && !m_kinds.count(kind)
            && sayWithin(2, shown(line) + "\n", kRunningBacklog)) {
            m_kinds.insert(kind);
            m_lastHidden.clear();
            return;
        }
        ++m_hidden;
        m_lastHidden = line;
    }

    void sayCount(int backlog)
    {
        if (m_hidden == 0)
            return;
        const std::string text = "wqas.pga: " + std::to_string(m_hidden) + " more message"
                                 + (m_hidden == 1 ? "" : "s") + " from the encoder\n";
        if (sayWithin(2, text, backlog))
            m_hidden = 0;
    }

    void progressLine(const std::string &l)
    {
        if (l.rfind("out_time=", 0) == 0) {
            m_time = l.substr(9);
            if (const auto dot = m_time.find('.'); dot != std::string::npos)
                m_time.resize(dot);
        } else if (l.rfind("progress=", 0) == 0) {
            const double t = now();
            if (l == "progress=end") {
                sayWithin(1, "wqas.pga: " + m_time + " converted, finishing\n", kRunningBacklog);
            } else if (t - m_lastSaid >= 1.0 && !m_time.empty() && m_time[0] != '-') {
                if (sayWithin(1, "wqas.pga: " + m_time + " converted\n", kRunningBacklog))
                    m_lastSaid = t;
            }
        }
    }

    std::string m_temporary, m_output;
    std::string m_progressPending, m_messagesPending;
    std::string m_time;
    double m_lastSaid = 0;
    double m_lastCount = now();
    std::set<std::string> m_kinds;
    long m_hidden = 0;
    std::string m_lastHidden; // the latest message not passed on
};

// Whether `output` names a file in a folder, which can be written under a
// temporary name and renamed; not a device, a pipe or a protocol address.
// (Files that ffmpeg numbers itself are told by the translation.)
bool writesAFile(const std::string &output)
{
    if (output == "-")
        return false; // standard output
    const auto colon = output.find(':');
    if (colon != std::string::npos && colon > 1 && output.find('/') > colon)
        return false; // "pipe:1", "file:x.avi", "udp://..."
    struct stat st {};
    if (::stat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return false;
    return true;
}

bool exists(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Where the output's folder is, for the encoder: it names its temporary file
// through that descriptor, so that the file is reached by its name alone,
// however long the folder's path.
constexpr int kEncoderFolder = 5;

// What the encoder writes, and how that becomes the output.
struct OutputPlan {
    std::string output; // as the caller named it
    bool overwrite = false;
    // The output's folder, held open while a temporary file is written in it;
    // null when the encoder writes the output itself.
    std::unique_ptr<vidmora::platform::BesideFolder> folder;
    std::string temporaryName; // the temporary file's name in that folder
    std::string encoderName;   // what the encoder is told to write

    bool writesTemporary() const { return folder != nullptr; }
    // The folder could not be opened: the encoder is left to meet that, as
    // it would have without us, and the temporary file is named by its path.
    bool byPath() const { return !folder->isOpen(); }
    std::string temporaryPath() const { return folder->folder() + temporaryName; }
};

// Step 1: decides where the encoder writes. Only a file in a folder gets a
// temporary name (not a device, a pipe or files ffmpeg numbers itself), and
// only one whose path the system takes at all: past that limit the encoder
// refuses it as it would without us. False when an existing output may not
// be overwritten.
bool prepareOutput(wqas::Translation &t, OutputPlan &plan)
{
    plan.output = t.arguments.back();
    for (std::size_t k = 0; k + 1 < t.arguments.size(); ++k)
        plan.overwrite = plan.overwrite || t.arguments[k] == "-y";
    if (!writesAFile(plan.output) || t.numberedFiles || plan.output.size() >= PATH_MAX)
        return true;
    plan.folder = std::make_unique<vidmora::platform::BesideFolder>(plan.output);
    wqas::removeLeftoverPartials(*plan.folder, plan.output); // left by a converter that was killed
    if (!plan.overwrite && exists(plan.output)) {
        std::fprintf(stderr, "wqas.pga: File '%s' already exists. Exiting.\n", plan.output.c_str());
        return false;
    }
    plan.temporaryName = wqas::partialOutputPath(plan.folder->fileName(), long(::getpid()));
    // Ours by its name: a former process of the same id left it.
    vidmora::platform::abandonBeside(*plan.folder, plan.temporaryName);
    // Without /proc the encoder is given the full path, which fits while the
    // output's path is a little shorter than the limit.
    plan.encoderName = plan.byPath() ? plan.temporaryPath()
                       : plan.folder->fd() == AT_FDCWD ? plan.temporaryName
                       : ::access("/proc/self/fd", X_OK) == 0
                           ? "/proc/self/fd/" + std::to_string(kEncoderFolder) + "/" + plan.temporaryName
                           : plan.temporaryPath();
    t.arguments.back() = plan.encoderName;
    return true;
}

struct Encoder {
    pid_t pid = -1;
    int progress = -1; // its key=value progress report
    int messages = -1; // its standard output and error
};

// Catches the stop signals from now on; they wait (blocked, the mask before
// is left in `previous`) until the encoder's identity is known, so that none
// is lost.
void catchStopSignals(sigset_t &previous)
{
    sigset_t stops;
    sigemptyset(&stops);
    for (int sig : kStopSignals)
        sigaddset(&stops, sig);
    ::sigprocmask(SIG_BLOCK, &stops, &previous);
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: the wait for the encoder returns to look at g_signal
    for (int sig : kStopSignals)
        ::sigaction(sig, &sa, nullptr);
}

// In the child: puts the pipes' write ends and the output's folder where the
// encoder expects them and runs it.
[[noreturn]] void becomeEncoder(std::vector<char *> &argv, int report, int talk, int folder, pid_t parent,
                                const sigset_t &previous)
{
    // The encoder dies with the converter, however the converter ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(1);
    // Out of the way of 1 to 5 first, then into place (dup2 clears close-on-exec).
    report = ::fcntl(report, F_DUPFD_CLOEXEC, 10);
    talk = ::fcntl(talk, F_DUPFD_CLOEXEC, 10);
    const int ours = ::fcntl(1, F_DUPFD_CLOEXEC, 10);
    const int where = folder >= 0 ? ::fcntl(folder, F_DUPFD_CLOEXEC, 10) : AT_FDCWD;
    if (report < 0 || talk < 0 || ::dup2(talk, 1) < 0 || ::dup2(talk, 2) < 0 || ::dup2(report, 3) < 0)
        ::_exit(1);
    // The encoder also holds our own output (unused, as descriptor 4), so
    // that whoever reads it sees its end only once the encoder has gone
    // too, even when we are killed and the encoder dies a moment later.
    if (ours >= 0)
        ::dup2(ours, 4);
    if (folder >= 0 && (where < 0 || ::dup2(where, kEncoderFolder) < 0))
        ::_exit(1);
    for (int sig : kStopSignals)
        ::signal(sig, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    ::execv(argv[0], argv.data());
    const char msg[] = "wqas.pga: cannot run " WQAS_FFMPEG "\n";
    [[maybe_unused]] ssize_t w = ::write(2, msg, sizeof msg - 1);
    ::_exit(127);
}

// Step 2: starts ffmpeg with `arguments` as our child; stop signals are
// caught from here on. False (with a message) when it cannot be started.
bool startEncoder(std::vector<std::string> arguments, const OutputPlan &plan, Encoder &encoder)
{
    std::vector<std::string> command = {WQAS_FFMPEG, "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error",
                                        "-progress", "pipe:3"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char *> cargv;
    for (std::string &a : command)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    sigset_t previous;
    catchStopSignals(previous);
    // The encoder's progress report (its descriptor 3) and its messages (its
    // standard output and error) come back on two pipes of our own.
    int progress[2], messages[2];
    if (::pipe2(progress, O_CLOEXEC) != 0 || ::pipe2(messages, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "wqas.pga: no pipe: %s\n", std::strerror(errno));
        return false;
    }
    const int folder = plan.writesTemporary() && !plan.byPath() ? plan.folder->fd() : AT_FDCWD;

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
        becomeEncoder(cargv, progress[1], messages[1], folder, parent, previous);
    ::close(progress[1]);
    ::close(messages[1]);
    if (pid < 0) {
        std::fprintf(stderr, "wqas.pga: cannot start the encoder: %s\n", std::strerror(errno));
        return false;
    }
    g_child = pid;
    ::sigprocmask(SIG_SETMASK, &previous, nullptr); // a stop that came meanwhile is delivered here
    encoder = {pid, progress[0], messages[0]};
    return true;
}

// Step 3: passes the encoder's output on through `relay` until the encoder
// has closed both its ends, and reaps it. Returns its wait status.
int relayMessages(const Encoder &encoder, Relay &relay)
{
    pollfd ends[2] = {{encoder.progress, POLLIN, 0}, {encoder.messages, POLLIN, 0}};
    int open = 2;
    char buffer[16384];
    while (open > 0) {
        const int r = ::poll(ends, 2, 250);
        if (r < 0 && errno != EINTR)
            break;
        for (int k = 0; k < 2 && r > 0; ++k) {
            if (ends[k].fd < 0 || ends[k].revents == 0)
                continue;
            const ssize_t n = ::read(ends[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                if (!g_signal)
                    k == 0 ? relay.progress(buffer, std::size_t(n)) : relay.messages(buffer, std::size_t(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(ends[k].fd); // the encoder has ended (or closed this end)
                ends[k].fd = -1;
                --open;
            }
        }
        if (!g_signal)
            relay.tick();
    }

    int status = 0;
    while (::waitpid(encoder.pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Step 4: puts the temporary file in the output's place when the encoder
// succeeded, and removes it otherwise. Returns the exit status, 1 when the
// move failed.
int finishOutput(OutputPlan &plan, bool succeeded, int result)
{
    namespace platform = vidmora::platform;
    if (!plan.writesTemporary())
        return result;
    // A folder that could not be opened before the start and has appeared
    // since may hold what the encoder wrote; one still missing holds nothing.
    if (plan.byPath())
        plan.folder = std::make_unique<platform::BesideFolder>(plan.output);
    if (!succeeded) {
        platform::abandonBeside(*plan.folder, plan.temporaryName);
        return result;
    }
    struct stat st {};
    if (!plan.folder->isOpen()
        || ::fstatat(plan.folder->fd(), plan.temporaryName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return result; // a format that writes no file of its own (-f null): nothing to move
    // Without -y an output that has appeared meanwhile is kept, as the encoder would have kept it.
    const platform::Replace replace = plan.overwrite ? platform::Replace::Existing : platform::Replace::Never;
    if (platform::commitBeside(*plan.folder, plan.temporaryName, plan.folder->fileName(), replace))
        return result;
    const std::string why = std::strerror(errno);
    platform::abandonBeside(*plan.folder, plan.temporaryName);
    sayWithin(2, "wqas.pga: cannot write " + plan.output + ": " + why + "\n", kFinalBacklog);
    return 1;
}

// Step 5: ends the way we were asked to when a stop signal came, so that our
// parent sees that signal; otherwise says how the encoder ended when a signal
// ended it, and returns `result`.
int endAsSignalled(int status, int result)
{
    if (g_signal) {
        const int sig = g_signal;
        ::signal(sig, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(sig);
        return 128 + sig;
    }
    if (WIFSIGNALED(status))
        sayWithin(2, "wqas.pga: the encoder was ended by signal " + std::to_string(WTERMSIG(status)) + "\n",
                  kFinalBacklog);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    ::signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> args(argv + 1, argv + argc);
    wqas::Translation t = wqas::translate(args);
    if (!t.ok) {
        std::fprintf(stderr, "wqas.pga: %s\n", t.error.c_str());
        return 1;
    }
    OutputPlan plan;
    if (!prepareOutput(t, plan))
        return 1;
    Encoder encoder;
    if (!startEncoder(t.arguments, plan, encoder))
        return 1;

    Relay relay(plan.encoderName, plan.output);
    const int status = relayMessages(encoder, relay);
    const bool succeeded = !g_signal && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!g_signal)
        relay.finish(!succeeded);

    const int result = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
    return endAsSignalled(status, finishOutput(plan, succeeded, result));
}
