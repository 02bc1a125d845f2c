#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// UTF-8 as the files Merivo reads and writes hold it, and the bytes of
// other programs that are not.
namespace Utf8Text {

bool isValid(QByteArrayView text);
// Valid, and without a NUL character, which no contact holds.
bool isClean(QByteArrayView text);

// Text that is clean, made from any bytes: valid UTF-8 sequences are kept,
// every other byte becomes its Windows-1252 character (the encoding that
// programs on Windows wrote before UTF-8, and Latin-1 with a few more
// signs), and a NUL becomes U+FFFD. Each byte maps to a character of its
// own, so nothing is lost.
QByteArray repaired(QByteArrayView bytes);
// Points value at its repaired() bytes, kept in storage, when it is not
// clean; true when it did.
bool makeClean(QByteArrayView &value, QByteArray &storage);

// All of the bytes read as Windows-1252.
QByteArray fromWindows1252(QByteArrayView bytes);

// Says for the user that count values were repaired().
QString conversionNote(qint64 count);

} // namespace Utf8Text
