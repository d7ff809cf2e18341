#include "converter/avc.h"

#include <QDir>
#include <QFileInfo>

namespace vidmora {

namespace {

// A file name in double quotes, written so that the converter's command-line
// splitting gives it back unchanged: a quote inside it becomes \", and the
// backslashes just before a quote (also the closing one) are doubled.
QString quotedFileName(const QString &name)
{
    QString out(1, u'"');
    qsizetype slashes = 0;
    for (const QChar c : name) {
        if (c == u'\\') {
            ++slashes;
        } else {
            if (c == u'"')
                out += QString(slashes + 1, u'\\');
            slashes = 0;
        }
        out += c;
    }
    out += QString(slashes, u'\\');
    out += u'"';
    return out;
}

// The converter takes a word that begins with "-" for an option, so such a
// relative name is handed over absolute, resolved against the folder the
// converter starts in (this program's current one): a save folder typed as
// "-clips" still names a file. Other names go as they stand; they mean the
// same to the converter.
QString absoluteFileName(const QString &name)
{
    if (!name.startsWith(u'-') || QDir::isAbsolutePath(name))
        return name;
    return QDir::current().absoluteFilePath(name);
}

} // namespace

AVC::AVC(platform::Timer &timer1, QString converterPath, std::unique_ptr<platform::ProcessControl> process,
         QString makerHost, QObject *parent)
    : QObject(parent)
    , m_timer1(&timer1)
    , m_process(process ? std::move(process) : platform::makeProcessControl())
    , m_converterPath(std::move(converterPath))
    , m_makerHost(std::move(makerHost))
{
    // The timer keeps its own interval and state until the first start.
    m_tickConnection = connect(m_timer1, &platform::Timer::tick, this, &AVC::Timer1_Timer);
}

AVC::~AVC()
{
    // Only the timer is let go of: a converter that still runs goes on running.
    disconnect(m_tickConnection);
    m_timer1 = nullptr;
    m_endWatch.reset();
    if (m_pid != 0) {
        m_process->closePipe(m_hReadPipe);
        m_process->detachProcess(m_pid);
    }
}

QString AVC::noSourceText(const QString &makerHost)
{
    return QStringLiteral("No filename for source path - ") + makerHost;
}

QString AVC::noDestinationText(const QString &makerHost)
{
    return QStringLiteral("No filename for destination path  - ") + makerHost;
}

QString AVC::badPathText()
{
    return QStringLiteral("Invalid filename for source or destination path");
}

QString AVC::notFoundText()
{
    return QStringLiteral("Unable to locate ") + QLatin1String(kConverterName);
}

QString AVC::busyText()
{
    return QStringLiteral("A conversion is already running: wait for it to end or cancel it");
}

QString AVC::pipeFailedText()
{
    return QStringLiteral("Unable to create the output pipe for ") + QLatin1String(kConverterName);
}

QString AVC::startFailedText(const QString &reason)
{
    QString text = QStringLiteral("Unable to start ") + QLatin1String(kConverterName);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    return text;
}

void AVC::raiseError(QString text)
{
    emit ErrorEvent(text);
}

void AVC::ConvertMedia(bool OverWrite)
{
    try {
        // A second start would orphan the running converter and mix the settings.
        if (m_pid != 0) {
            raiseError(busyText());
            return;
        }
        const QString &source = m_settings.SourceFile;
        const QString &dest = m_settings.DestFile;
        if (source.isEmpty()) {
            raiseError(noSourceText(m_makerHost));
            return;
        }
        if (dest.isEmpty()) {
            raiseError(noDestinationText(m_makerHost));
            return;
        }
        // A NUL would end the path where the converter is started: it would
        // read or overwrite another file than the one named.
        if (source.contains(QChar(0)) || dest.contains(QChar(0))) {
            raiseError(badPathText());
            return;
        }
        const QString options = (OverWrite ? QStringLiteral("-y ") : QString()) + optionsText(m_settings);

        // The converter's path is quoted as the file names are: a program
        // folder with a blank or a double quote in its name would otherwise
        // start the wrong program, or none.
        const QString converter = GetShortFileName(m_converterPath);
        const QString commandLine = quotedFileName(converter) + QStringLiteral(" -i ")
                                    + quotedFileName(absoluteFileName(source)) + u' ' + options
                                    + quotedFileName(absoluteFileName(dest));

        if (!QFileInfo(m_converterPath).isFile()) {
            raiseError(notFoundText());
            return;
        }
        StartPipedProcess(commandLine);
    } catch (...) {
    }
}

void AVC::StartPipedProcess(const QString &CommandLine)
{
    int readEnd = platform::ProcessControl::kNoPipe;
    int writeEnd = platform::ProcessControl::kNoPipe;
    if (!m_process->createPipe(readEnd, writeEnd)) {
        raiseError(pipeFailedText());
        return;
    }
    QString reason;
    const qint64 pid = m_process->createProcess(CommandLine, writeEnd, reason);
    // Only the converter keeps the write end, so that the read end reports the
    // end of data once the converter has ended.
    m_process->closePipe(writeEnd);
    if (pid == 0) {
        m_process->closePipe(readEnd);
        raiseError(startFailedText(reason));
        return;
    }
    m_pid = pid;
    m_hReadPipe = readEnd;
    m_exitCode = -1;
    ++m_run;
    // The end of the output is acted on as soon as it comes: the last tick need
    // not wait for the timer. Queued, so that the watch is never destroyed from
    // inside its own notification.
    m_endWatch = m_process->watchPipeEnd(readEnd);
    if (m_endWatch)
        connect(m_endWatch.get(), &platform::PipeEndWatch::ended, this, [this, run = m_run] { outputEnded(run); },
                Qt::QueuedConnection);
    if (m_timer1) {
        m_timer1->setInterval(kPollInterval);
        m_timer1->setEnabled(true);
    }
}

void AVC::Timer1_Timer()
{
    try {
        if (m_pid == 0)
            return; // the timer belongs to the window; ticks between conversions are not ours

        using ReadStatus = platform::ProcessControl::ReadStatus;
        const quint64 run = m_run;
        char buffer[kReadSize];
        int bytesRead = 0;
        auto status = m_process->readPipe(m_hReadPipe, buffer, kReadSize, bytesRead);
        // A short read has emptied the pipe: look once more, within the same
        // 256 bytes, whether the converter has gone meanwhile, so that its last
        // words do not cost a whole tick before the end is seen.
        if (status == ReadStatus::Data && bytesRead < kReadSize) {
            int more = 0;
            const auto after = m_process->readPipe(m_hReadPipe, buffer + bytesRead, kReadSize - bytesRead, more);
            if (after == ReadStatus::Ended)
                status = ReadStatus::Ended;
        }
        // The output itself is of no interest: it only shows that the converter lives.
        const QPointer<AVC> alive(this);
        emit Converting();
        // A handler may have released the driver, or run a nested event loop in
        // which this conversion ended (and another may have started): that one
        // is not ours to end.
        if (!alive || status != ReadStatus::Ended || m_pid == 0 || run != m_run)
            return;

        m_endWatch.reset();
        m_exitCode = m_process->closeProcess(m_pid);
        m_process->closePipe(m_hReadPipe);
        m_pid = 0;
        m_hReadPipe = platform::ProcessControl::kNoPipe;
        if (m_timer1)
            m_timer1->setEnabled(false);
        m_settings = {};
        emit Complete();
    } catch (...) {
    }
}

void AVC::outputEnded(quint64 run)
{
    try {
        if (run != m_run || m_pid == 0)
            return;
        // The writer has gone. When what it left fits into one tick's read, that
        // tick is the last one: run it now. More than that is left to the
        // regular ticks, 256 bytes each, the last of which then sees the end.
        const qint64 waiting = m_process->pipeBytesWaiting(m_hReadPipe);
        if (waiting >= 0 && waiting < kReadSize)
            Timer1_Timer();
    } catch (...) {
    }
}

void AVC::CancelConvert()
{
    KillProcessByName(QLatin1String(kConverterName));
}

void AVC::KillProcessByName(const QString &ExeName)
{
    try {
        const QString wanted = ExeName.toLower();
        const QList<platform::ProcessEntry> processes = m_process->processList();
        for (const platform::ProcessEntry &entry : processes) {
            if (entry.exeFile.toLower().endsWith(wanted))
                m_process->terminateProcess(entry.pid); // one that cannot be ended is passed over
        }
    } catch (...) {
    }
}

QString AVC::GetShortFileName(const QString &LongPath)
{
    return m_process->shortPathName(LongPath);
}

} // namespace vidmora
