#include <gtest/gtest.h>

#include "platform/web_address.h"

#include <QUrl>

namespace {

using vidmora::platform::defaultPort;
using vidmora::platform::hostHeader;
using vidmora::platform::portOf;

struct AddressCase {
    const char *url;
    int defaultPort;
    int port;          // where a connection goes
    const char *host;  // the Host header's text
};

// Host = uri-host [":" port]: an IPv6 literal keeps its brackets, an IDN goes
// out as ACE, and a port equal to the scheme's default is left out so that
// the same place always gets the same Host text.
const AddressCase kAddresses[] = {
    {"http://www.vidsite.example/watch?v=a", 80, 80, "www.vidsite.example"},
    {"http://www.vidsite.example:80/x", 80, 80, "www.vidsite.example"},
    {"http://www.vidsite.example:8080/x", 80, 8080, "www.vidsite.example:8080"},
    {"http://www.vidsite.example:443/x", 80, 443, "www.vidsite.example:443"},
    {"https://cdn.vidsite.example/v.flv", 443, 443, "cdn.vidsite.example"},
    {"https://cdn.vidsite.example:443/v.flv", 443, 443, "cdn.vidsite.example"},
    {"https://cdn.vidsite.example:80/v.flv", 443, 80, "cdn.vidsite.example:80"},
    {"HTTPS://CDN.vidsite.example/v.flv", 443, 443, "cdn.vidsite.example"},
    {"http://127.0.0.1:5000/", 80, 5000, "127.0.0.1:5000"},
    {"http://[::1]/", 80, 80, "[::1]"},
    {"http://[::1]:8080/", 80, 8080, "[::1]:8080"},
    {"https://[2001:db8::7]:443/a", 443, 443, "[2001:db8::7]"},
    {"http://bücher.example/", 80, 80, "xn--bcher-kva.example"},
    {"http://bücher.example:81/", 80, 81, "xn--bcher-kva.example:81"},
};

TEST(WebAddress, DefaultPortConnectionPortAndHostHeaderFollowTheAddress)
{
    for (const AddressCase &c : kAddresses) {
        SCOPED_TRACE(c.url);
        const QUrl url(QString::fromUtf8(c.url));
        ASSERT_TRUE(url.isValid());
        EXPECT_EQ(defaultPort(url), c.defaultPort);
        EXPECT_EQ(int(portOf(url)), c.port);
        EXPECT_EQ(hostHeader(url), QByteArray(c.host));
    }
}

} // namespace
