#pragma once

#include <QString>

namespace vidmora::test {

// The field values a fixture watch page carries. Each lands between the
// page's start and end markers exactly as given (no escaping), so a value
// that holds an end marker cuts its field short, as on the real site.
struct WatchPageFields {
    QString titleElement = QStringLiteral("Vidmora - A Day at the Lake");  // all of <title>...</title>
    QString videoId = QStringLiteral("Xy3_abcDEF0");
    QString token = QStringLiteral("OEgsToPDskJ3x9f2HkLm1qV8sT0aBcDe");
    QString views = QStringLiteral("1,234,567");
    QString user = QStringLiteral("lakeside_films");
    QString addedDate = QStringLiteral("May 17, 2008");
    QString category = QStringLiteral("Travel &amp; Events");
    QString description = QStringLiteral("A summer afternoon by the water.");
};

// A realistic watch page (head, scripts, player arguments, stats, category
// link, description) holding every marker the extractors look for, once each,
// with `fields` in place. Use it as the body a loopback site serves.
QString watchPage(const WatchPageFields &fields = {});

} // namespace vidmora::test
