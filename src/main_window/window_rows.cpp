#include "main_window/window_rows.h"

#include "profiles/not_supported_title.h"

namespace vidmora::main_window {

bool hasEnded(RowState state)
{
    switch (state) {
    case RowState::Pending:
    case RowState::Downloading:
    case RowState::Converting:
        return false;
    case RowState::Done:
    case RowState::Failed:
    case RowState::ConversionFailed:
    case RowState::Cancelled:
    case RowState::NotSupported:
        return true;
    }
    return false;
}

QString stateText(RowState state)
{
    switch (state) {
    case RowState::Pending:
        return QStringLiteral("Pending...");
    case RowState::Downloading:
    case RowState::Converting:
        return QString();
    case RowState::Done:
        return QStringLiteral("Done");
    case RowState::Failed:
        return QStringLiteral("Error");
    case RowState::ConversionFailed:
        return QStringLiteral("Conversion failed");
    case RowState::Cancelled:
        return QStringLiteral("Cancelled");
    case RowState::NotSupported:
        return QString::fromLatin1(profiles::kNotSupportedTitle); // the box that says why has this title
    }
    return QString();
}

int DownloadRows::indexOfTarget(const QString &target) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).target == target)
            return i + 1;
    }
    return 0;
}

void DownloadRows::append(const QString &key, const QString &target)
{
    m_rows.append(DownloadRow{key, target, QString(), RowState::Pending, stateText(RowState::Pending)});
}

void DownloadRows::remove(int index)
{
    if (index >= 1 && index <= count())
        m_rows.removeAt(index - 1);
}

void DownloadRows::showProgress(const QString &text, const QString &target)
{
    for (DownloadRow &row : m_rows)
        row.status = text;
    const int index = indexOfTarget(target);
    if (index != 0 && m_rows[index - 1].state == RowState::Pending)
        m_rows[index - 1].state = RowState::Downloading;
}

void DownloadRows::showConverting(const QString &text)
{
    for (DownloadRow &row : m_rows) {
        if (!hasEnded(row.state))
            row.status = text;
    }
}

void DownloadRows::startConverting(int index, const QString &output)
{
    if (index < 1 || index > count() || hasEnded(m_rows[index - 1].state))
        return;
    m_rows[index - 1].state = RowState::Converting;
    m_rows[index - 1].output = output;
}

void DownloadRows::end(int index, RowState state)
{
    if (index < 1 || index > count() || !hasEnded(state))
        return;
    m_rows[index - 1].state = state;
    m_rows[index - 1].status = stateText(state);
}

void DownloadRows::endLive(RowState state, int exceptIndex)
{
    for (int i = 1; i <= count(); ++i) {
        if (i != exceptIndex && !hasEnded(m_rows[i - 1].state))
            end(i, state);
    }
}

QList<int> DownloadRows::endedRows() const
{
    QList<int> ended;
    for (int i = count(); i >= 1; --i) {
        if (hasEnded(m_rows[i - 1].state))
            ended.append(i);
    }
    return ended;
}

} // namespace vidmora::main_window
