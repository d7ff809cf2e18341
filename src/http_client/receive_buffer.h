#pragma once

#include <QString>

namespace vidmora::Module1 {

// The program's one receive buffer: the body of the page being fetched grows
// here packet by packet. Storage grows to twice the needed length when it is
// short, and each append is written in place, so a body of n characters costs
// O(n) to collect, however many packets bring it.

// The buffer's state, for inspection (tests, diagnostics).
qint32 BufSize(); // capacity in characters
qint32 BufLen();  // characters in use

// The largest number of characters the buffer holds. An append that would pass
// it, or that finds no memory even for the needed length, is dropped whole (the
// buffer keeps what it had). BufAppend and BufText throw nothing.
inline constexpr qint32 kBufMaxChars = 0x3FFFFFFF;

void BufAppend(QString &Text);
// A copy of the characters in use ("" when empty, or when there is no memory for the copy).
QString BufText();
// A new text of `Chars` characters whose content is undefined ("" for Chars <= 0).
QString AllocString(qint32 Chars);
// Empties the buffer and releases its storage.
void BufClear();

// The socket hands over one character per byte. Once a body is whole, this
// takes it as text in the system's code page, which is UTF-8 here: when all of
// it is valid UTF-8 it is decoded in place (BufLen shrinks to the decoded
// length); otherwise every byte stays one character, read in the Western
// single-byte code page (Windows-1252, which is also how browsers read pages
// labelled ISO-8859-1), so a page in that old code page keeps its letters and
// signs, "€", "Š" and curly quotes included. Deciding for the whole body, not
// packet by packet, keeps a character whole that two packets split. Units
// above 0xFF (no byte gives them) are left as they are. Returns true when the
// text was taken as UTF-8.
bool BufTakeAsCodePage();

} // namespace vidmora::Module1
