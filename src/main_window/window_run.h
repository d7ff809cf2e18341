#pragma once

// What the main window's request is doing, in one record without widgets: its
// phase, the window variables the handlers share, and what follows from them:
// the status texts, the spinner's frames, which controls each moment switches
// and which files go when. The window's handlers pass each event in and show
// the result, so that how the window moves from one state to the next can be
// read, and tested, here.

#include <QString>

#include <optional>
#include <span>

#include "main_window/window_files.h"
#include "main_window/window_rows.h"

namespace vidmora::main_window {

enum class RunPhase {
    Idle,
    FetchingPage, // "Download" accepted, the watch page on its way
    Downloading,  // the page's video queued, its download not ended
    Converting,
    Cancelling,   // "Cancel" has stopped the converter; its end is still to come
};

// How a moment switches a control.
enum class Switch {
    Keep,
    On,         // enabled, or shown
    Off,        // disabled, or hidden
    OnWithFile, // shown once a download has been started in this run (`LastFileName` not empty)
};

// The moments at which the window's controls switch or a file goes.
enum class Moment {
    DownloadPressed,   // an accepted "Download" press
    RowQueued,         // `Add2DownQue` has added the row
    PageDone,          // the page step has queued its video
    Cleared,           // `ClearConts`
    BatchEnded,        // the download manager's batch has ended
    CancelKept,        // ... while a conversion runs: "Cancel" stays to stop it
    StepFailed,        // a step ended without a result and no conversion runs
    ConversionEnded,   // the converter's `Complete`
    CancelReleased,    // "Cancel" kept for a conversion goes with its end
    ConversionRefused, // the converter refused to start and no other conversion runs
    CancelPressed,
    WindowClosed,      // the window unloads
};

// What one moment does. `thumbnailGoes`: the thumbnail "fis.tmp" is deleted
// (before a new request fetches its own, when a conversion ends and when the
// window closes); the other files of a conversion go by window_files.h's rules.
struct MomentRow {
    Moment moment;
    Switch download; // "Download" (`Command1`) enabled
    Switch cancel;   // "Cancel" (`cmdCancel`) enabled
    Switch play;     // "Play" (`Button1`) shown
    Switch frame;    // the frame over the thumbnail's place (`Shape1`) shown
    bool thumbnailGoes;
};

std::span<const MomentRow> momentTable();
const MomentRow &momentRow(Moment moment);

// How a conversion ended, and what the window shows for it.
struct ConversionEnd {
    ConversionFiles files;
    ConversionOutcome outcome = ConversionOutcome::Failed;
    // Written after the ready text when the conversion made nothing.
    std::optional<QString> statusAfter;
    RowState rowState = RowState::ConversionFailed; // how its row ends
};

// The text of a download's progress ("512.0 KB (50.0%)"): what is still to
// come, and the share received. None without an announced length.
std::optional<QString> downloadProgressText(qint64 CurBytes, qint64 MaxBytes);

class WindowRun final {
public:
    explicit WindowRun(QString siteDomain);

    // Window variables; the handlers write and read them where the window's
    // procedures do.
    bool IsConverting = false;
    qint16 SpinFrame = 0; // the spinner's next frame, 0 to 3
    QString LastFileName; // file name of the last download started
    QString OutputExt;    // extension of the last matched profile

    RunPhase phase() const;

    // ---- Status texts
    static QString startNotice() { return QStringLiteral("Welcome to Vidmora"); }
    static QString startText(); // at load
    QString readyText() const;  // `ClearConts`
    static QString fetchingText() { return QStringLiteral("Downloading Data ..."); }
    QString pageProgressText(qint32 bytesreceived, const QString &FileSize) const;
    QString pageReceivedText() const;
    static QString queuedText() { return QStringLiteral("Downloading ..."); }
    static QString doneText() { return QStringLiteral("Done"); }
    static QString downloadFailedText() { return QStringLiteral("Download failed"); }
    // The frame for `SpinFrame`, which then moves on; none (and `SpinFrame`
    // unchanged) when it is outside 0 to 3.
    std::optional<QString> turnSpinner();
    // What the rows show of the status line while a conversion runs.
    static QString rowSpinnerText(const QString &statusLine);
    // Which control a moment switches, `OnWithFile` resolved by `LastFileName`.
    MomentRow at(Moment moment) const;

    // ---- The page
    void pageRequested();    // an accepted "Download" press
    bool pageDropped() const; // "Cancel" came while the page was on its way
    void pageQueued();

    // ---- The conversion
    // `ConvertFLV` asks the driver for the conversion of `files`. When another
    // conversion runs the driver refuses, and that one keeps its files.
    void conversionAsked(const ConversionFiles &files, bool anotherRuns);
    // The driver has answered: started, or refused (`ErrorEvent`) already.
    void conversionAnswered();
    // The download whose conversion is being asked for, while the driver is asked.
    const QString &startingSource() const { return m_startingSource; }
    // The driver refused; unless another conversion runs, nothing converts now.
    void conversionRefused(bool anotherRuns);
    const ConversionFiles &conversionFiles() const { return m_files; }
    // The driver's `Complete`, with the converter's exit code.
    ConversionEnd conversionEnded(int exitCode);

    // ---- Downloads and "Cancel"
    // "Cancel" pressed; `stopsConverter`: it stops the conversion under way.
    void cancelPressed(bool stopsConverter);
    // The batch has ended; with a conversion running, "Cancel" is kept for it.
    void batchEnded(bool conversionRuns);
    // "Cancel" was kept for the conversion that has just ended: it goes now.
    bool releaseCancel();
    // A step ended without a result: true when the window goes back to idle,
    // false when a conversion still under way keeps it busy.
    bool stepFailed(bool conversionRuns);

    // ---- "Play"
    // The last conversion's output, in the folder it was written in (the save
    // folder before any conversion).
    QString playPath(const QString &saveFolder) const;

private:
    QString m_siteDomain;
    RunPhase m_road = RunPhase::Idle; // the request's own phase: idle, page or download
    ConversionFiles m_files;          // the conversion under way
    bool m_cancelled = false;         // ... which "Cancel" stopped
    QString m_startingSource;
    bool m_cancelKept = false;        // "Cancel" enabled for the running conversion only
    bool m_pageDropped = false;       // set by "Cancel", cleared by the next accepted "Download"
    std::optional<QString> m_outputFolder; // where the last conversion wrote
};

} // namespace vidmora::main_window
