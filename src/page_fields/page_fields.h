#pragma once

#include <QString>

namespace vidmora::Module1 {

// Field extractors for the site's watch page. Each cuts the text between a
// fixed start marker and the next fixed end marker (exact, case-sensitive
// search from the page's beginning) and gives "" when the cut fails. None
// reports an error.

// The title with the characters that cannot be in a file name removed
// (C0 and C1 control characters included), at most 50 characters (UTF-16
// units; a surrogate pair is never split, at either end).
QString GetTitle(QString &Html);
QString GetVideoID(QString &Html);
// The value the video request sends as "t".
QString GetToken(QString &Html);
QString GetViews(QString &Html);
QString GetUser(QString &Html);
QString GetAddedDate(QString &Html);
QString GetCategory(QString &Html);
QString GetDescription(QString &Html);

// Saves the resource at `URL` to the file `TargetPath`; blocks until the file
// is written or the transfer has failed (5 s without a byte, 20 s in all),
// and reports nothing. On failure (a body cut short or ended by a reset
// included) nothing new is at `TargetPath`: an earlier file there stays as it was.
void DownloadFile(QString &URL, QString &TargetPath);

// The cut shared by the extractors: the text from the end of `start`'s first
// occurrence to the next `end`. A missing start marker starts the search for
// `end` at the position equal to the marker's length; a field cut from there
// never begins with the second half of a surrogate pair.
QString cutField(const QString &html, const QString &start, const QString &end);

} // namespace vidmora::Module1
