#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace vidmora::platform {

// One entry of the running-process list: its identifier and the file name of
// the program it runs (for a script, the script's own file name).
struct ProcessEntry {
    qint64 pid = 0;
    QString exeFile;
};

// Tells once, from this thread's event loop, that every write end of a pipe
// has closed (its writer has ended), whether or not unread data is left in it.
// Data arriving before that does not wake it. Destroying it stops the watch.
class PipeEndWatch : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PipeEndWatch)
public:
    using QObject::QObject;

signals:
    void ended();
};

// The host operations the converter driver runs its converter with: an
// anonymous pipe, a hidden child process that writes its standard output and
// standard error into that pipe, reads from the pipe, the running-process list,
// termination and the short form of a path.
class ProcessControl {
public:
    static constexpr int kNoPipe = -1;

    enum class ReadStatus {
        Data,   // bytes were read
        NoData, // the writer is alive but has written nothing yet
        Ended,  // every write end is closed (or the read failed)
    };

    virtual ~ProcessControl() = default;

    // A new pipe. The read end never blocks; the write end is for the child.
    // Returns false (both ends kNoPipe) on failure.
    virtual bool createPipe(int &readEnd, int &writeEnd) = 0;

    // Starts the program named by the first word of `commandLine` (split by
    // splitCommandLine) with empty standard input and both output streams on
    // `outputEnd`. Returns the process identifier, or 0 with `error` set.
    virtual qint64 createProcess(const QString &commandLine, int outputEnd, QString &error) = 0;

    // Reads up to `size` bytes without waiting.
    virtual ReadStatus readPipe(int readEnd, char *buffer, int size, int &bytesRead) = 0;

    virtual void closePipe(int end) = 0;

    // A watch that tells when the pipe's writers have all gone, so that the end
    // of the output need not wait for the next poll. nullptr when this host
    // cannot watch a pipe: the poll then finds the end on its own.
    virtual std::unique_ptr<PipeEndWatch> watchPipeEnd(int readEnd)
    {
        Q_UNUSED(readEnd);
        return nullptr;
    }

    // How many bytes wait unread in the pipe; -1 when the host cannot tell.
    virtual qint64 pipeBytesWaiting(int readEnd)
    {
        Q_UNUSED(readEnd);
        return -1;
    }

    // Lets go of a started process whose output has ended, and returns its exit
    // status: the code it passed to exit, or -1 when it was killed or has not
    // exited within a short bound (it is then reaped in the background).
    virtual int closeProcess(qint64 pid) = 0;

    // Lets go of a started process that may still be running: it keeps
    // running and is reaped in the background when it ends.
    virtual void detachProcess(qint64 pid) = 0;

    virtual QList<ProcessEntry> processList() = 0;

    // Ends the process at once. Returns false when it cannot be ended.
    virtual bool terminateProcess(qint64 pid) = 0;

    // This host has no short (8.3) names: the path itself when it exists, "" when not.
    virtual QString shortPathName(const QString &longPath) = 0;
};

// Which processes processList() shows and terminateProcess() may end.
enum class ProcessScope {
    AllProcesses,    // the whole system, as the host's process list
    OwnDescendants,  // only processes descended from this program (tests that run in parallel)
};

std::unique_ptr<ProcessControl> makeProcessControl(ProcessScope scope = ProcessScope::AllProcesses);

// Splits a command line into words as the host's C runtime does: blanks and
// tabs separate words, double quotes group, 2n backslashes before a quote give
// n backslashes and a grouping quote, 2n+1 give n and a literal quote, and ""
// inside a group gives a literal quote. The first word (the program) follows
// the same rules: file names here may hold a double quote, so a program folder
// may too.
QStringList splitCommandLine(const QString &commandLine);

} // namespace vidmora::platform
