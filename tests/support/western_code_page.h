#pragma once

#include <QByteArray>
#include <QString>

namespace vidmora::test {

// The characters of the bytes 0x80-0x9F in the Western single-byte code page
// (Windows-1252), written out here as the code page's charts give them; the
// five bytes it leaves undefined are the C1 controls of the same value.
inline const QString &westernHighCharacters()
{
    static const QString chars = QStringLiteral(
        "\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\u008d\u017d\u008f"
        "\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178");
    return chars;
}

// `bytes` read one character per byte in that code page (above 0x9F it is Latin-1).
inline QString westernText(const QByteArray &bytes)
{
    QString text = QString::fromLatin1(bytes);
    for (QChar &c : text) {
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F)
            c = westernHighCharacters().at(c.unicode() - 0x80);
    }
    return text;
}

// Every byte from 0x80 to 0x9F, in order.
inline QByteArray westernHighBytes()
{
    QByteArray bytes;
    for (int b = 0x80; b <= 0x9F; ++b)
        bytes.append(char(b));
    return bytes;
}

} // namespace vidmora::test
