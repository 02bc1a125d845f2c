#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The text of a file to import, as UTF-8. Other programs write UTF-16 (with
// or without a byte order mark, as Windows tools do) and, rarely, UTF-32.
namespace InputText {

// The text without its byte order mark, converted to UTF-8 (into storage)
// when it is in UTF-16 or UTF-32. UTF-16 without a byte order mark is
// recognised by its many NUL bytes in every other place, which Latin letters,
// digits and punctuation have in it. Anything else is returned as it is.
QByteArrayView toUtf8(QByteArrayView bytes, QByteArray &storage);

// The line on which the first NUL character stands (counting line breaks
// as the readers do: LF, CR LF or CR alone), or 0 when there is none.
int lineOfFirstNul(QByteArrayView text);

} // namespace InputText
