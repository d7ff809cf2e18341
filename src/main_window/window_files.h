#pragma once

// Which files the main window deletes, and when. Kept apart from the window so
// that the rules can be read, and tested, in one place:
// - the downloaded ".flv" goes only after a conversion that made its output;
// - the thumbnail "fis.tmp" goes before a new request fetches its own, when a
//   conversion ends and when the window closes (the moments of window_run.h);
// - what a converter of this output left under its temporary name goes once
//   that converter no longer runs, whatever the outcome;
// - a file at the output's own name is never deleted: the converter writes under
//   a temporary name and renames only on success, so a file there is a finished
//   one, ours or that of another window or an earlier converter that went on alone.

#include <QString>

namespace vidmora::main_window {

enum class ConversionOutcome {
    Converted, // the converter succeeded and the output is there
    Failed,
    Cancelled,
};

// The files of one conversion, known when it is started.
struct ConversionFiles {
    QString source; // the downloaded ".flv"
    QString output; // where the converter writes

    bool isEmpty() const { return source.isEmpty() && output.isEmpty(); }
};

// How the conversion of `files` ended, from the converter's exit status and
// whether "Cancel" stopped it.
ConversionOutcome conversionOutcome(const ConversionFiles &files, int exitCode, bool cancelled);

// What the window clears when a conversion has ended as `outcome` says.
void clearAfterConversion(const ConversionFiles &files, ConversionOutcome outcome);

// The thumbnail of the current request: the save folder's "fis.tmp".
QString thumbnailPath(const QString &saveFolder);
void deleteThumbnail(const QString &saveFolder);

} // namespace vidmora::main_window
