#pragma once

#include <QByteArray>

// The page request exactly as it goes on the wire for `url`, with the fixed
// Host line of the site "www.vidsite.example" the tests use.
inline QByteArray pageRequest(const QByteArray &url)
{
    return "GET " + url + " HTTP/1.0\r\n"
           "Accept-Language: en-us\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
           ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)\r\n"
           "Host: www.vidsite.example\r\n"
           "Connection: Close\r\n"
           "Cookie: LOCALE_PREFERENCE=0; VISITOR_INFO1_LIVE=0; __utma=0.0.0.0.0.2; "
           "__utmz=0.0.1.1.utmcsr=(direct)|utmccn=(direct)|utmcmd=(none); GEO=0; PREF=cr=US&gl=US&hl=en&ul=en\r\n"
           "\r\n";
}
