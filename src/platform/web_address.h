#pragma once

#include <QUrl>

namespace vidmora::platform {

// The schemes the transfers speak: http and https.
bool isWebScheme(const QUrl &url);
// Whether https can be spoken here (Qt built with TLS and a TLS library found).
bool canSpeakTls();
// The statuses whose Location a transfer follows.
bool isRedirectStatus(int status);

} // namespace vidmora::platform
