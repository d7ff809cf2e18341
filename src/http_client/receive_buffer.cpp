#include "http_client/receive_buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace vidmora::Module1 {
namespace {

// Module state. Only the UI thread touches it.
QString BufData; // its length is the capacity
qint32 BufSizeV = 0;
qint32 BufLenV = 0;

} // namespace

qint32 BufSize()
{
    return BufSizeV;
}

qint32 BufLen()
{
    return BufLenV;
}

QString AllocString(qint32 Chars)
{
    if (Chars <= 0)
        return QString();
    return QString(Chars, Qt::Uninitialized);
}

void BufAppend(QString &Text)
{
    if (Text.isEmpty())
        return;
    const qint64 need = qint64(BufLenV) + Text.size();
    if (need > kBufMaxChars)
        return;
    if (BufSizeV < need) {
        // Twice what is needed now, not twice the old capacity. The bound keeps
        // this below 2^31. Short of memory, the needed length alone will do;
        // without even that the append is dropped whole and nothing is thrown
        // at the socket handler that called us.
        qint64 capacity = std::min<qint64>(2 * need, std::numeric_limits<qint32>::max());
        QString store;
        try {
            store = AllocString(static_cast<qint32>(capacity));
        } catch (const std::bad_alloc &) {
            try {
                capacity = need;
                store = AllocString(static_cast<qint32>(capacity));
            } catch (const std::bad_alloc &) {
                return;
            }
        }
        if (BufLenV > 0)
            std::memcpy(store.data(), BufData.constData(), sizeof(QChar) * size_t(BufLenV));
        BufData = std::move(store);
        BufSizeV = static_cast<qint32>(capacity);
    }
    // BufData is never shared (BufText copies), so data() does not detach.
    std::memcpy(BufData.data() + BufLenV, Text.constData(), sizeof(QChar) * size_t(Text.size()));
    BufLenV = static_cast<qint32>(need);
}

QString BufText()
{
    if (BufLenV == 0)
        return QString(QLatin1String(""));
    try {
        return QString(BufData.constData(), BufLenV);
    } catch (const std::bad_alloc &) {
        return QString(QLatin1String("")); // no room for the copy: as if the step had failed
    }
}

void BufClear()
{
    BufLenV = 0;
    BufSizeV = 0;
    BufData = QString();
}

} // namespace vidmora::Module1
