#include "tool/InputText.h"

#include <QString>
#include <QStringDecoder>

#include <optional>

namespace {

// How much of the start a guess at BOM-less UTF-16 looks at, and how many of
// its characters must be Latin-1 ones (a NUL byte beside a byte that is
// not) for the guess: a CSV header is mostly letters and separators.
constexpr qsizetype LookedAt = 4096;
constexpr double Latin1Share = 0.4;

std::optional<QStringConverter::Encoding> encodingOf(QByteArrayView bytes, qsizetype &bomLength)
{
    static const struct
    {
        QByteArrayView mark;
        QStringConverter::Encoding encoding;
    } marks[] = {
        // UTF-32 LE first: its mark begins as UTF-16 LE's does.
        {QByteArrayView("\xFF\xFE\x00\x00", 4), QStringConverter::Utf32LE},
        {QByteArrayView("\x00\x00\xFE\xFF", 4), QStringConverter::Utf32BE},
        {QByteArrayView("\xFF\xFE", 2), QStringConverter::Utf16LE},
        {QByteArrayView("\xFE\xFF", 2), QStringConverter::Utf16BE},
    };
    for (const auto &[mark, encoding] : marks) {
        if (bytes.startsWith(mark)) {
            bomLength = mark.size();
            return encoding;
        }
    }
    bomLength = 0;

    const qsizetype units = qMin(bytes.size(), LookedAt) / 2;
    if (units == 0)
        return std::nullopt;
    qsizetype little = 0, big = 0;
    for (qsizetype i = 0; i < units; ++i) {
        const char first = bytes[2 * i];
        const char second = bytes[2 * i + 1];
        if (first != 0 && second == 0)
            ++little;
        else if (first == 0 && second != 0)
            ++big;
    }
    // A few characters of other alphabets have a NUL byte on the other side.
    if (little >= units * Latin1Share && big * 10 <= little)
        return QStringConverter::Utf16LE;
    if (big >= units * Latin1Share && little * 10 <= big)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

} // namespace

namespace InputText {

QByteArrayView toUtf8(QByteArrayView bytes, QByteArray &storage)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.sliced(3);
    qsizetype bomLength = 0;
    const std::optional<QStringConverter::Encoding> encoding = encodingOf(bytes, bomLength);
    if (!encoding)
        return bytes;
    QStringDecoder decoder(*encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes.sliced(bomLength));
    storage = text.toUtf8();
    return storage;
}

int lineOfFirstNul(QByteArrayView text)
{
    const qsizetype nul = text.indexOf('\0');
    if (nul < 0)
        return 0;
    int line = 1;
    for (qsizetype i = 0; i < nul; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n'))
            ++line;
    }
    return line;
}

} // namespace InputText
