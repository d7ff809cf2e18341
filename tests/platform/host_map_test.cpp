#include <gtest/gtest.h>

#include "platform/host_map.h"
#include "scoped_host.h"

using vidmora::platform::HostMap;

TEST(HostMap, UnmappedNamesAndUrlsComeBackAsGiven)
{
    const auto ep = HostMap::resolve(QStringLiteral("www.example.org"), 80);
    EXPECT_EQ(ep.host, QStringLiteral("www.example.org"));
    EXPECT_EQ(ep.port, 80);
    const QUrl url(QStringLiteral("http://www.example.org/a?b=c"));
    EXPECT_EQ(HostMap::resolve(url), url);
}

TEST(HostMap, MappedNameIgnoresCaseAndRewritesUrlHostAndPort)
{
    vidmora::test::ScopedHost mapped(QStringLiteral("www.vidsite.example"), 4567);
    const auto ep = HostMap::resolve(QStringLiteral("WWW.VidSite.Example"), 80);
    EXPECT_EQ(ep.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(ep.port, 4567);
    const QUrl url = HostMap::resolve(QUrl(QStringLiteral("http://www.vidsite.example/get_video.php?video_id=1&t=2")));
    EXPECT_EQ(url.toString(), QStringLiteral("http://127.0.0.1:4567/get_video.php?video_id=1&t=2"));
}
