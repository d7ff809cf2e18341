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

// The length of the well-formed UTF-8 sequence at p[i] (one byte per unit),
// 0 when there is none: no overlong forms, no surrogates, nothing past
// U+10FFFF, no sequence cut off by the end.
int utf8SequenceAt(const char16_t *p, qsizetype i, qsizetype n)
{
    const char16_t b0 = p[i];
    if (b0 < 0x80)
        return 1;
    auto tail = [&](int k, char16_t lo = 0x80, char16_t hi = 0xBF) {
        return i + k < n && p[i + k] >= lo && p[i + k] <= hi;
    };
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return tail(1) ? 2 : 0;
    if (b0 == 0xE0)
        return tail(1, 0xA0) && tail(2) ? 3 : 0;
    if (b0 == 0xED)
        return tail(1, 0x80, 0x9F) && tail(2) ? 3 : 0;
    if (b0 >= 0xE1 && b0 <= 0xEF)
        return tail(1) && tail(2) ? 3 : 0;
    if (b0 == 0xF0)
        return tail(1, 0x90) && tail(2) && tail(3) ? 4 : 0;
    if (b0 >= 0xF1 && b0 <= 0xF3)
        return tail(1) && tail(2) && tail(3) ? 4 : 0;
    if (b0 == 0xF4)
        return tail(1, 0x80, 0x8F) && tail(2) && tail(3) ? 4 : 0;
    return 0;
}

// The Western single-byte code page (Windows-1252) where it differs from
// Latin-1: the bytes 0x80-0x9F are letters and signs there. The five bytes it
// leaves undefined stay the control characters they are. A table of our own,
// not Qt's converter: Qt has this code page only where it is built with ICU,
// and the table rewrites the page in place, without a copy of it.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
};

// The index of the first unit from `from` on that is not ASCII, n when none.
qsizetype firstNonAscii(const char16_t *p, qsizetype from, qsizetype n)
{
    qsizetype i = from;
    // Four units at a time: pages are mostly markup.
    constexpr quint64 kHigh = 0xFF80FF80FF80FF80ULL;
    for (; i + 4 <= n; i += 4) {
        quint64 w;
        std::memcpy(&w, p + i, sizeof w);
        if (w & kHigh)
            break;
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

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

bool BufTakeAsCodePage()
{
    if (BufLenV == 0)
        return false;
    const qsizetype n = BufLenV;
    const char16_t *src = reinterpret_cast<const char16_t *>(BufData.constData());
    const qsizetype start = firstNonAscii(src, 0, n);
    if (start == n)
        return false; // ASCII reads the same either way
    // Check all of it before changing anything: one bad byte anywhere keeps
    // the page one byte per character.
    bool utf8 = true;
    for (qsizetype i = start; i < n;) {
        const int len = utf8SequenceAt(src, i, n);
        if (len == 0) {
            utf8 = false;
            break;
        }
        i = firstNonAscii(src, i + len, n);
    }
    if (!utf8) {
        // Only 0x80-0x9F read differently from Latin-1; the length stays.
        char16_t *p = reinterpret_cast<char16_t *>(BufData.data());
        for (qsizetype i = start; i < n; ++i) {
            if (p[i] >= 0x80 && p[i] <= 0x9F)
                p[i] = kCp1252High[p[i] - 0x80];
        }
        return false;
    }
    // A sequence of k bytes gives at most k units, so the text is written over
    // itself from the front. BufData is never shared: data() does not detach.
    char16_t *p = reinterpret_cast<char16_t *>(BufData.data());
    qsizetype w = start;
    for (qsizetype i = start; i < n;) {
        const char16_t b0 = p[i];
        const int len = b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4; // checked above
        char32_t cp;
        if (len == 2)
            cp = char32_t(b0 & 0x1F) << 6 | (p[i + 1] & 0x3F);
        else if (len == 3)
            cp = char32_t(b0 & 0x0F) << 12 | char32_t(p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F);
        else
            cp = char32_t(b0 & 0x07) << 18 | char32_t(p[i + 1] & 0x3F) << 12 | char32_t(p[i + 2] & 0x3F) << 6
                | (p[i + 3] & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            p[w++] = QChar::highSurrogate(cp);
            p[w++] = QChar::lowSurrogate(cp);
        } else {
            p[w++] = char16_t(cp);
        }
        // The ASCII run up to the next sequence moves as one block.
        const qsizetype next = firstNonAscii(p, i, n);
        if (next > i) {
            std::memmove(p + w, p + i, sizeof(char16_t) * size_t(next - i));
            w += next - i;
            i = next;
        }
    }
    BufLenV = static_cast<qint32>(w);
    return true;
}

} // namespace vidmora::Module1
