#pragma once

#include <QString>

namespace vidmora::platform {

// How long a URL-to-file transfer may hold its caller.
inline constexpr int kUrlToFileTimeoutMs = 20000;
// How long it waits for the next byte (the first one too) before it gives
// up: a host that has gone quiet is not worth the whole bound.
inline constexpr int kUrlToFileIdleMs = 5000;

// The host's blocking URL-to-file download. Fetches `url` through the
// download service (QtAsyncDownloadService, so the same HTTP rules as a
// video download) and writes the body to `targetPath`; returns whether the
// file was written. Returns only when the file is in place or the transfer
// has failed (no connection, bad address, status 400 or above, a body cut
// short or ended by a reset, unwritable target, `timeoutMs` passed in all,
// `idleMs` passed without a byte, a target path holding a NUL, an address or
// redirection that is not http or https).
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
bool urlToFile(const QString &url, const QString &targetPath, int timeoutMs = kUrlToFileTimeoutMs,
               int idleMs = kUrlToFileIdleMs);

} // namespace vidmora::platform
