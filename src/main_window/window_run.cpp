#include "main_window/window_run.h"

#include <QLatin1StringView>

#include <array>

namespace vidmora::main_window {
namespace {

using S = Switch;

// What each moment of a request does to the controls (the design values hold
// after load). The first three rows are the request road's own; the others are
// where the download list and the conversion switch the buttons.
constexpr std::array<MomentRow, 12> kMoments = {{
    //  moment                      Download  Cancel   Play           frame   thumbnail
    {Moment::DownloadPressed,       S::Keep,  S::Keep, S::Off,        S::On,   true},
    {Moment::PageDone,              S::Off,   S::On,   S::Keep,       S::Keep, false},
    {Moment::Cleared,               S::On,    S::Keep, S::OnWithFile, S::Keep, false},
    {Moment::RowQueued,             S::On,    S::Keep, S::Keep,       S::Keep, false},
    {Moment::BatchEnded,            S::Keep,  S::Off,  S::Keep,       S::Keep, false},
    {Moment::CancelKept,            S::Keep,  S::On,   S::Keep,       S::Keep, false},
    {Moment::StepFailed,            S::On,    S::Keep, S::Keep,       S::Keep, false},
    {Moment::ConversionEnded,       S::On,    S::Keep, S::Keep,       S::Keep, true},
    {Moment::CancelReleased,        S::Keep,  S::Off,  S::Keep,       S::Keep, false},
    {Moment::ConversionRefused,     S::On,    S::Keep, S::Keep,       S::Keep, false},
    {Moment::CancelPressed,         S::On,    S::Keep, S::Keep,       S::Keep, false},
    {Moment::WindowClosed,          S::Keep,  S::Keep, S::Keep,       S::Keep, true},
}};

} // namespace

std::span<const MomentRow> momentTable() { return kMoments; }

const MomentRow &momentRow(Moment moment)
{
    for (const MomentRow &row : kMoments) {
        if (row.moment == moment)
            return row;
    }
    // Every moment has its row (the tests check it); a new one without a row switches nothing.
    static constexpr MomentRow none{Moment::WindowClosed, S::Keep, S::Keep, S::Keep, S::Keep, false};
    return none;
}

std::optional<QString> downloadProgressText(qint64 CurBytes, qint64 MaxBytes)
{
    // No announced length: nothing to divide by.
    if (MaxBytes == 0)
        return std::nullopt;
    const qint64 remaining = MaxBytes - CurBytes;
    QString size;
    if (remaining < 1048576)
        size = QString::number(double(remaining) / 1024.0, 'f', 1) + QStringLiteral(" KB");
    else
        size = QString::number(double(remaining) / 1048576.0, 'f', 2) + QStringLiteral(" MB");
    return size + QStringLiteral(" (") + QString::number(double(CurBytes) / double(MaxBytes) * 100.0, 'f', 1)
        + QStringLiteral("%)");
}

WindowRun::WindowRun(QString siteDomain)
    : m_siteDomain(std::move(siteDomain))
{
}

RunPhase WindowRun::phase() const
{
    // A conversion may still run (or be stopping) while the next request is
    // fetched; the phase then is the conversion's.
    if (!m_files.isEmpty())
        return m_cancelled ? RunPhase::Cancelling : RunPhase::Converting;
    return m_road;
}

QString WindowRun::startText() { return startNotice() + QStringLiteral(" - Ready for converting ..."); }

QString WindowRun::readyText() const
{
    return QStringLiteral("Ready for converting ") + m_siteDomain + QStringLiteral(" movies !");
}

QString WindowRun::pageProgressText(qint32 bytesreceived, const QString &FileSize) const
{
    return QStringLiteral("Please Wait... Receiving Vidmora buffers ... ") + QString::number(bytesreceived)
        + QStringLiteral(" Bytes Received: ") + FileSize;
}

QString WindowRun::pageReceivedText() const
{
    return QStringLiteral("Data Recieved / ") + m_siteDomain + QStringLiteral(" ID Recieved");
}

std::optional<QString> WindowRun::turnSpinner()
{
    static constexpr QLatin1StringView endings[] = {QLatin1StringView(" data |"), QLatin1StringView(" data /"),
                                                    QLatin1StringView(" data -"), QLatin1StringView(" data \\")};
    if (SpinFrame < 0 || SpinFrame > 3)
        return std::nullopt;
    const QString frame = QStringLiteral("Converting ") + m_siteDomain + endings[SpinFrame];
    SpinFrame = static_cast<qint16>((SpinFrame + 1) % 4);
    return frame;
}

QString WindowRun::rowSpinnerText(const QString &statusLine)
{
    return QString(statusLine).remove(QStringLiteral("Wait "));
}

MomentRow WindowRun::at(Moment moment) const
{
    MomentRow row = momentRow(moment);
    if (row.play == Switch::OnWithFile)
        row.play = LastFileName.isEmpty() ? Switch::Keep : Switch::On;
    return row;
}

void WindowRun::pageRequested()
{
    m_pageDropped = false;
    m_road = RunPhase::FetchingPage;
}

bool WindowRun::pageDropped() const { return m_pageDropped; }

void WindowRun::pageQueued()
{
    if (m_road == RunPhase::FetchingPage)
        m_road = RunPhase::Downloading;
}

void WindowRun::conversionAsked(const ConversionFiles &files, bool anotherRuns)
{
    // Known before the start, since a refused start reports inside the call.
    if (!anotherRuns) {
        m_files = files;
        m_cancelled = false;
    }
    m_startingSource = files.source;
}

void WindowRun::conversionAnswered()
{
    // The output goes where the download went, whatever the folder box says later.
    m_outputFolder = m_startingSource.left(m_startingSource.lastIndexOf(QLatin1Char('/')));
    m_startingSource.clear();
}

void WindowRun::conversionRefused(bool anotherRuns)
{
    if (!anotherRuns)
        m_files = {};
}

ConversionEnd WindowRun::conversionEnded(int exitCode)
{
    ConversionEnd end;
    end.files = m_files;
    end.outcome = conversionOutcome(m_files, exitCode, m_cancelled);
    switch (end.outcome) {
    case ConversionOutcome::Converted:
        end.rowState = RowState::Done;
        break;
    case ConversionOutcome::Cancelled:
        end.statusAfter = QStringLiteral("Conversion cancelled");
        end.rowState = RowState::Cancelled;
        break;
    case ConversionOutcome::Failed:
        end.statusAfter = QStringLiteral("Conversion failed - the downloaded video is kept");
        end.rowState = RowState::ConversionFailed;
        break;
    }
    m_files = {};
    m_cancelled = false;
    // What was still queued is cancelled with the end.
    if (m_road == RunPhase::Downloading)
        m_road = RunPhase::Idle;
    return end;
}

void WindowRun::cancelPressed(bool stopsConverter)
{
    m_pageDropped = true;
    m_road = RunPhase::Idle;
    if (stopsConverter)
        m_cancelled = true;
}

void WindowRun::batchEnded(bool conversionRuns)
{
    if (m_road == RunPhase::Downloading)
        m_road = RunPhase::Idle;
    if (conversionRuns)
        m_cancelKept = true;
}

bool WindowRun::releaseCancel()
{
    const bool kept = m_cancelKept;
    m_cancelKept = false;
    return kept;
}

bool WindowRun::stepFailed(bool conversionRuns)
{
    // A conversion that is still under way keeps the window busy until its end.
    IsConverting = conversionRuns;
    if (!conversionRuns)
        m_road = RunPhase::Idle;
    return !conversionRuns;
}

QString WindowRun::playPath(const QString &saveFolder) const
{
    return m_outputFolder.value_or(saveFolder) + QStringLiteral("/") + LastFileName + OutputExt;
}

} // namespace vidmora::main_window
