#include "tool/VCardValue.h"

#include "tool/Utf8Text.h"

#include <QStringDecoder>

namespace {

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// Splits at separators that are not inside double quotes.
QList<QByteArrayView> splitOutsideQuotes(QByteArrayView text, char separator)
{
    QList<QByteArrayView> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == separator && !quoted) {
            parts.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.sliced(start));
    return parts;
}

QByteArrayView unquoted(QByteArrayView text)
{
    text = trimmed(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.sliced(1, text.size() - 2);
    return text;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray quotedPrintable(QByteArrayView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            bytes.append(char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
            i += 2;
        } else if (c == '=' && i + 1 == text.size()) {
            break; // a soft line break at the very end
        } else {
            bytes.append(c);
        }
    }
    return bytes;
}

bool isUtf8Name(QByteArrayView charset)
{
    const QByteArray name = charset.toByteArray().toLower();
    return name == "utf-8" || name == "utf8" || name == "us-ascii" || name == "ascii";
}

QByteArray fromEightBit(QByteArrayView bytes, const char *charset)
{
    QStringDecoder decoder(charset);
    if (!decoder.isValid())
        return Utf8Text::fromWindows1252(bytes);
    const QString text = decoder(bytes);
    return text.toUtf8();
}

} // namespace

VCardParameters VCardParameters::read(QByteArrayView text)
{
    VCardParameters parameters;
    if (text.isEmpty())
        return parameters;
    const auto addType = [&](QByteArrayView type) {
        const QByteArray lower = unquoted(type).toByteArray().toLower();
        if (lower.isEmpty())
            return;
        if (lower == "pref")
            parameters.pref = 1;
        parameters.types.append(lower);
    };
    for (const QByteArrayView parameter : splitOutsideQuotes(text, ';')) {
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0) {
            // 2.1: a bare value names its parameter by itself.
            const QByteArray bare = trimmed(parameter).toByteArray().toLower();
            if (bare == "quoted-printable")
                parameters.quotedPrintable = true;
            else if (bare != "base64" && bare != "8bit" && bare != "7bit")
                addType(bare);
            continue;
        }
        const QByteArray name = trimmed(parameter.first(equals)).toByteArray().toLower();
        const QByteArrayView value = parameter.sliced(equals + 1);
        if (name == "type") {
            for (const QByteArrayView type : splitOutsideQuotes(unquoted(value), ','))
                addType(type);
        } else if (name == "encoding") {
            parameters.quotedPrintable = unquoted(value).toByteArray().toLower() == "quoted-printable";
        } else if (name == "charset") {
            parameters.charset = unquoted(value).toByteArray();
        } else if (name == "pref") {
            bool ok = false;
            const int pref = unquoted(value).toByteArray().toInt(&ok);
            if (ok && pref > 0)
                parameters.pref = qMin(parameters.pref, pref);
        } else if (name == "value") {
            parameters.uri = unquoted(value).toByteArray().toLower() == "uri";
        }
    }
    return parameters;
}

namespace VCardValue {

QByteArray decode(QByteArrayView raw, const VCardParameters &parameters)
{
    QByteArray bytes = parameters.quotedPrintable ? quotedPrintable(raw)
                                                  : QByteArray::fromRawData(raw.data(), raw.size());
    if (!parameters.charset.isEmpty() && !isUtf8Name(parameters.charset))
        return fromEightBit(bytes, parameters.charset.constData());
    if (Utf8Text::isValid(bytes))
        return bytes;
    return Utf8Text::fromWindows1252(bytes);
}

QByteArray unescape(const QByteArray &text, bool version21)
{
    if (!text.contains('\\'))
        return text;
    QByteArray plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            plain.append(c);
            continue;
        }
        const char next = text[i + 1];
        if (next == '\\' || next == ',' || next == ';' || next == ':') {
            plain.append(next);
            ++i;
        } else if ((next == 'n' || next == 'N') && !version21) {
            plain.append('\n');
            ++i;
        } else {
            plain.append(c);
        }
    }
    return plain;
}

std::vector<QByteArray> components(QByteArrayView text, bool version21)
{
    std::vector<QByteArray> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == ';') {
            parts.push_back(unescape(text.sliced(start, i - start).toByteArray(), version21));
            start = i + 1;
        }
    }
    parts.push_back(unescape(text.sliced(qMin(start, text.size())).toByteArray(), version21));
    return parts;
}

} // namespace VCardValue
