#pragma once

#include <QString>

namespace vidmora::platform {

// What an "&" with nothing after it shows. DrawText (and so the Button's
// caption) takes every single "&" as the mark of the character after it and
// never draws the mark itself, so a last "&" shows nothing; the host's labels
// show it as it stands.
enum class LastAmpersand { Hidden, Shown };

// The caption convention of the host's labels and of DrawText: "&x" shows x
// marked as the access key, "&&" shows one "&", and an "&" with nothing after
// it is shown or not as `last` says. Calls shown(ch, marked) for each character
// shown for the first `limit` characters of `caption`; an "&" just before the
// limit still takes the character after it. Which marks are underlined is the
// drawer's choice (a label underlines the first only).
template <typename Shown>
void forEachShownChar(const QString &caption, qsizetype limit, LastAmpersand last, Shown &&shown)
{
    const qsizetype n = qMin(caption.size(), qMax<qsizetype>(0, limit));
    for (qsizetype i = 0; i < n; ++i) {
        QChar c = caption.at(i);
        bool marked = false;
        if (c == u'&') {
            if (i + 1 >= caption.size()) {
                if (last == LastAmpersand::Hidden)
                    break;
            } else {
                c = caption.at(++i);
                marked = c != u'&';
            }
        }
        shown(c, marked);
    }
}

} // namespace vidmora::platform
