#pragma once

#include <QByteArray>

namespace vidmora::test {

// Bytes that differ from one offset to the next, so that a byte lost, doubled
// or moved shows.
inline QByteArray pattern(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

} // namespace vidmora::test
