#pragma once

#include <QString>

namespace vidmora::platform {

// How long a URL-to-file transfer may hold its caller.
inline constexpr int kUrlToFileTimeoutMs = 20000;

// The host's blocking URL-to-file download. Fetches `url` and writes the body
// to `targetPath`; returns whether the file was written. Returns only when the
// file is in place or the transfer has failed (no connection, bad address,
// status 400 or above, unwritable target, `timeoutMs` passed, a target path
// holding a NUL, an address or redirection that is not http or https).
//
// The file appears at `targetPath` whole or not at all: the body is written
// beside it and renamed over it at the end, so a failure leaves whatever was
// there before untouched.
//
// The transfer runs on a thread of its own and the caller waits without
// running its event loop, so the caller's own sockets and timers neither fire
// during the wait nor lose anything: their events are handled, in order, once
// the call has returned. HostMap applies to the URL's host; the request still
// names the original host in its Host header.
bool urlToFile(const QString &url, const QString &targetPath, int timeoutMs = kUrlToFileTimeoutMs);

} // namespace vidmora::platform
