#pragma once

// The rows of the main window's download list as the window keeps them: one
// record per row, in the list's order, numbered from 1 as the list numbers
// them (0 is "none"). The list view's "ID:" and "Status:" columns are written
// from here. No widgets, so that how a row moves from state to state is tested on its own.

#include <QList>
#include <QString>

namespace vidmora::main_window {

enum class RowState {
    Pending,          // queued, nothing received yet
    Downloading,
    Converting,
    Done,             // converted
    Failed,           // the download failed, or its conversion was refused at the start
    ConversionFailed, // the converter ran and made nothing
    Cancelled,
    NotSupported,     // the chosen format converts to nothing
};

// A row that has ended keeps saying how, until the next request takes its place.
bool hasEnded(RowState state);
// What the "Status:" column says for a row added or ended in `state`; empty
// for the states whose text comes from the progress or the spinner.
QString stateText(RowState state);

struct DownloadRow {
    QString key;    // the request's text after its last "/", also its "ID:"
    QString target; // the ".flv" its download writes
    QString output; // what its conversion writes, once that has started
    RowState state = RowState::Pending;
    QString status; // its "Status:" column
};

class DownloadRows final {
public:
    int count() const { return int(m_rows.size()); }
    const DownloadRow &at(int index) const { return m_rows.at(index - 1); }
    // The first row whose download writes `target`.
    int indexOfTarget(const QString &target) const;

    void append(const QString &key, const QString &target);
    void remove(int index);

    // The download progress, which every row shows; the row of `target` is
    // then downloading.
    void showProgress(const QString &text, const QString &target);
    // The conversion spinner, which every row still live shows.
    void showConverting(const QString &text);
    // The conversion of row `index` has started (not when it has ended already).
    void startConverting(int index, const QString &output);
    // Row `index` has ended as `state` says.
    void end(int index, RowState state);
    // Every live row but `exceptIndex` ends as `state` says.
    void endLive(RowState state, int exceptIndex = 0);
    // The rows that have ended, last first, so that they can be removed in turn.
    QList<int> endedRows() const;

private:
    QList<DownloadRow> m_rows;
};

} // namespace vidmora::main_window
