#include "tool/Utf8Text.h"

#include <QCoreApplication>

namespace {

// Windows-1252 where it differs from Latin-1, for the bytes 0x80 to 0x9F;
// the five it leaves free are read as the control characters of Latin-1,
// as Windows itself does.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(QByteArray &out, char16_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

void appendWindows1252(QByteArray &out, unsigned char byte)
{
    appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t(byte));
}

// The length of the valid UTF-8 sequence at i, or 0 when the bytes there
// are none (a stray continuation byte, a sequence cut short, an overlong
// form, a surrogate, beyond U+10FFFF).
qsizetype sequenceLength(const unsigned char *bytes, qsizetype size, qsizetype i)
{
    const unsigned char c = bytes[i];
    if (c < 0x80)
        return 1;
    int more;
    char32_t lowest;
    char32_t codePoint;
    if ((c & 0xE0) == 0xC0)
        more = 1, lowest = 0x80, codePoint = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        more = 2, lowest = 0x800, codePoint = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        more = 3, lowest = 0x10000, codePoint = c & 0x07;
    else
        return 0;
    if (i + more >= size)
        return 0;
    for (int k = 1; k <= more; ++k) {
        const unsigned char next = bytes[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < lowest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return more + 1;
}

const unsigned char *bytesOf(QByteArrayView text)
{
    return reinterpret_cast<const unsigned char *>(text.data());
}

} // namespace

namespace Utf8Text {

bool isValid(QByteArrayView text)
{
    const unsigned char *bytes = bytesOf(text);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = sequenceLength(bytes, text.size(), i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool isClean(QByteArrayView text)
{
    return !text.contains('\0') && isValid(text);
}

QByteArray repaired(QByteArrayView text)
{
    const unsigned char *bytes = bytesOf(text);
    QByteArray out;
    out.reserve(text.size() + text.size() / 2);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = bytes[i] == 0 ? 0 : sequenceLength(bytes, text.size(), i);
        if (length > 0) {
            out.append(text.sliced(i, length));
            i += length;
            continue;
        }
        if (bytes[i] == 0)
            appendUtf8(out, 0xFFFD);
        else
            appendWindows1252(out, bytes[i]);
        ++i;
    }
    return out;
}

bool makeClean(QByteArrayView &value, QByteArray &storage)
{
    if (isClean(value))
        return false;
    storage = repaired(value);
    value = storage;
    return true;
}

QByteArray fromWindows1252(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 2);
    for (const char c : text)
        appendWindows1252(out, static_cast<unsigned char>(c));
    return out;
}

QString conversionNote(qint64 count)
{
    if (count == 1) {
        return QCoreApplication::translate("Utf8Text", "Converted 1 value that was not valid UTF-8 text: each byte "
                                                       "outside UTF-8 became its Windows-1252 character, and a NUL "
                                                       "became U+FFFD.");
    }
    return QCoreApplication::translate("Utf8Text", "Converted %1 values that were not valid UTF-8 text: each byte "
                                                   "outside UTF-8 became its Windows-1252 character, and a NUL "
                                                   "became U+FFFD.")
        .arg(count);
}

} // namespace Utf8Text
