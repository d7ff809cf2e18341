#include "watch_page.h"

namespace vidmora::test {

QString watchPage(const WatchPageFields &f)
{
    // Built so that every start marker occurs once and the first end marker
    // after it is the one that closes the field: other spans, links and
    // ampersands sit before the markers or in other shapes.
    QString page;
    page += QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
        "<html lang=\"en\">\n<head>\n"
        "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\n");
    page += QStringLiteral("<title>") + f.titleElement + QStringLiteral("</title>\n");
    page += QStringLiteral(
        "<link rel=\"stylesheet\" href=\"/css/base_all.css\" type=\"text/css\">\n"
        "<script type=\"text/javascript\" src=\"/js/base_all.js\"></script>\n"
        "<script type=\"text/javascript\">\n");
    page += QStringLiteral("\tvar watchUsername = '") + f.user + QStringLiteral("';\n");
    page += QStringLiteral("\tvar watchIsPlayingAll = false;\n");
    page += QStringLiteral("\tvar fullscreenUrl = '/watch_fullscreen?fs=1&video_id=") + f.videoId
        + QStringLiteral("&l=213&t=") + f.token + QStringLiteral("&sk=qXyZ0wP&fmt_map=&hl=en';\n");
    page += QStringLiteral(
        "</script>\n</head>\n<body class=\"date-20080517\" dir=\"ltr\">\n"
        "<div id=\"baseDiv\">\n"
        "<div id=\"masthead\"><a href=\"/\" class=\"logo\"><img src=\"/img/pixel.gif\" alt=\"\"></a></div>\n"
        "<div id=\"watch-player-div\" class=\"flash-player\">\n"
        "\t<embed src=\"/player2.swf\" type=\"application/x-shockwave-flash\" width=\"480\" height=\"385\">\n"
        "</div>\n"
        "<div id=\"watch-ratings-views\" class=\"watch-ratings-views\">\n");
    page += QStringLiteral("\tViews: <span id=\"watch-view-count\" class=\"watch-view-count\">") + f.views
        + QStringLiteral("</span>\n</div>\n");
    page += QStringLiteral("<div id=\"watch-channel-vids-div\">\n");
    page += QStringLiteral("\t<div class=\"watch-added\">Added: <span class=\"watch-stat\">") + f.addedDate
        + QStringLiteral("</span></div>\n");
    page += QStringLiteral(
        "\t<div class=\"watch-channel\">From: <a href=\"/user/channel\">channel</a></div>\n"
        "</div>\n"
        "<div id=\"watch-video-details-inner\">\n");
    page += QStringLiteral("\t<div id=\"watch-video-desc\"><span class=\"description\">") + f.description
        + QStringLiteral("</span></div>\n");
    page += QStringLiteral(
        "\t<div id=\"watch-category\">Category: <a href=\"/browse?s=mp&amp;c=19\" "
        "onmousedown=\"urchinTracker('/Events/VideoWatch/VideoCategoryLink');\">")
        + f.category + QStringLiteral("</a></div>\n");
    page += QStringLiteral(
        "\t<div id=\"watch-tags\">Tags: <a href=\"/results?search_query=lake\">lake</a></div>\n"
        "</div>\n"
        "<div id=\"footer\"><span class=\"copyright\">&copy; 2008</span></div>\n"
        "</div>\n</body>\n</html>\n");
    return page;
}

} // namespace vidmora::test
