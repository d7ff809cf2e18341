#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace vidmora::test {

// What a test needs of a process as /proc/<pid>/stat shows it; the start time
// tells a reused id apart.
struct ProcStat {
    char state = '?';
    qint64 parent = 0;
    QByteArray startTime;
};

// State, parent and start time of `pid`; false when it is gone.
inline bool readProcStat(qint64 pid, ProcStat *out)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    // The name in parentheses may hold spaces and ')'; the fields after it may not.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return false;
    out->state = fields.at(0).isEmpty() ? '?' : fields.at(0).at(0);
    out->parent = fields.at(1).toLongLong();
    out->startTime = fields.at(19);
    return true;
}

// Whether a process in `state` still runs: an unreaped exit (a zombie) or a
// dead entry counts as ended.
inline bool isRunningState(char state) { return state != 'Z' && state != 'X'; }

// A process as /proc shows it; the start time tells a reused id apart.
struct ProcessId {
    qint64 pid = 0;
    QByteArray startTime;
};

// Every process below `root`: children, theirs, and so on.
inline QList<ProcessId> descendants(qint64 root)
{
    QHash<qint64, QList<ProcessId>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        ProcStat stat;
        if (number && readProcStat(pid, &stat))
            children[stat.parent].append(ProcessId{pid, stat.startTime});
    }
    QList<ProcessId> found;
    QList<qint64> todo{root};
    while (!todo.isEmpty())
        for (const ProcessId &child : children.value(todo.takeFirst())) {
            found.append(child);
            todo.append(child.pid);
        }
    return found;
}

// Whether `p` still runs; an unreaped exit counts as ended.
inline bool running(const ProcessId &p)
{
    ProcStat stat;
    return readProcStat(p.pid, &stat) && stat.startTime == p.startTime && isRunningState(stat.state);
}

} // namespace vidmora::test
