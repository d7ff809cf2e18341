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

#include "event_wait.h"
#include "platform/timer.h"

TEST(Timer, TicksOnlyWhenEnabledWithAnInterval)
{
    vidmora::platform::Timer timer;
    int ticks = 0;
    QObject::connect(&timer, &vidmora::platform::Timer::tick, [&] { ++ticks; });
    timer.setEnabled(true); // interval 0: never ticks
    EXPECT_FALSE(vidmora::test::waitUntil([&] { return ticks > 0; }, 100));
    timer.setInterval(10);
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return ticks >= 2; }, 5000));
    timer.setEnabled(false);
    const int seen = ticks;
    EXPECT_FALSE(vidmora::test::waitUntil([&] { return ticks > seen; }, 100));
    EXPECT_EQ(timer.Interval(), 10);
}
