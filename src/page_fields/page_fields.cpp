#include "page_fields/page_fields.h"

#include "platform/url_to_file.h"

#include <QStringList>

namespace vidmora::Module1 {

QString cutField(const QString &html, const QString &start, const QString &end)
{
    // 1-based positions; 0 means "not found".
    const qsizetype p = html.indexOf(start) + 1;
    const qsizetype s = p + start.size(); // the marker's length when it is missing
    if (s - 1 > html.size())
        return QString(QLatin1String(""));
    const qsizetype e = html.indexOf(end, s - 1) + 1;
    if (e == 0 || e <= s)
        return QString(QLatin1String(""));
    // A cut from the fixed position (start marker missing) can fall inside a
    // character outside the basic plane: the field then begins after it, never
    // with its second half alone.
    qsizetype from = s - 1;
    if (from > 0 && html.at(from).isLowSurrogate() && html.at(from - 1).isHighSurrogate())
        ++from;
    if (e - 1 == from)
        return QString(QLatin1String(""));
    return html.mid(from, e - 1 - from);
}

QString GetTitle(QString &Html)
{
    // Removed one after the other, in this order: entities go whole before
    // their characters are removed one by one.
    static const QStringList kRemoved = {
        QStringLiteral("Vidmora - "), QStringLiteral("&amp;"), QStringLiteral("&quot;"),
        QStringLiteral("?"), QStringLiteral(";"), QStringLiteral("!"), QStringLiteral("@"),
        QStringLiteral("#"), QStringLiteral("$"), QStringLiteral("%"), QStringLiteral("^"),
        QStringLiteral("&"), QStringLiteral("*"), QStringLiteral("("), QStringLiteral(")"),
        QStringLiteral("="), QStringLiteral("\\"), QStringLiteral("|"), QStringLiteral("]"),
        QStringLiteral("["), QStringLiteral("}"), QStringLiteral("{"), QStringLiteral("'"),
        QStringLiteral(":"), QStringLiteral("\""), QStringLiteral(","), QStringLiteral("<"),
        QStringLiteral(">"), QStringLiteral("/"), QStringLiteral("`"), QStringLiteral("~"),
    };
    QString title = cutField(Html, QStringLiteral("<title>"), QStringLiteral("</title>"));
    for (const QString &r : kRemoved)
        title.remove(r, Qt::CaseSensitive);
    // Control characters have no place in a file name: a NUL would cut the
    // name short where the file is opened, so the video would land on another
    // file of the folder. The C1 range goes too: invisible in a name. A page
    // in the single-byte code page has its letters there already mapped
    // (0x80 is "€"); what is left are the five bytes that page leaves undefined.
    title.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F);
    });
    // 50 characters, never half of one: a pair that the cut would split goes whole.
    qsizetype keep = qMin<qsizetype>(title.size(), 50);
    if (keep < title.size() && title.at(keep - 1).isHighSurrogate())
        --keep;
    title.truncate(keep);
    return title;
}

QString GetVideoID(QString &Html)
{
    return cutField(Html, QStringLiteral("&video_id="), QStringLiteral("&"));
}

QString GetToken(QString &Html)
{
    return cutField(Html, QStringLiteral("&t="), QStringLiteral("&"));
}

QString GetViews(QString &Html)
{
    return cutField(Html, QStringLiteral("watch-view-count\">"), QStringLiteral("</span>"));
}

QString GetUser(QString &Html)
{
    return cutField(Html, QStringLiteral("watchUsername = '"), QStringLiteral("';"));
}

QString GetAddedDate(QString &Html)
{
    return cutField(Html, QStringLiteral("Added: <span class=\"watch-stat\">"), QStringLiteral("</span>"));
}

QString GetCategory(QString &Html)
{
    return cutField(Html, QStringLiteral("urchinTracker('/Events/VideoWatch/VideoCategoryLink');\">"),
                    QStringLiteral("</a>"));
}

QString GetDescription(QString &Html)
{
    return cutField(Html, QStringLiteral(" class=\"description\">"), QStringLiteral("</span>"));
}

void DownloadFile(QString &URL, QString &TargetPath)
{
    // The outcome is not reported: the caller looks for the file.
    platform::urlToFile(URL, TargetPath);
}

} // namespace vidmora::Module1
