#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <vector>

// The parameters of a vCard property that decide how its value is read and
// which field it fills. 2.1 writes them bare (TEL;HOME;QUOTED-PRINTABLE),
// 3.0 and 4.0 as name=value lists (TEL;TYPE=home,voice;PREF=1).
struct VCardParameters
{
    bool quotedPrintable = false;
    QByteArray charset;      // as written, empty when not given
    QList<QByteArray> types; // lower case
    int pref = 100;          // 1 is most preferred
    bool uri = false;        // VALUE=uri

    bool hasType(QByteArrayView type) const { return types.contains(type); }
    static VCardParameters read(QByteArrayView text);
};

namespace VCardValue {

// The value as UTF-8: quoted-printable decoded, then converted from its
// CHARSET. Without one, UTF-8 when it is valid UTF-8 and Windows-1252
// (Latin-1 with a few more signs) otherwise. Still escaped. Shares raw's
// bytes when nothing needs changing, so raw must outlive the result.
QByteArray decode(QByteArrayView raw, const VCardParameters &parameters);

// Undoes the backslash escapes of a text value: \\ \, \; \: always, and
// \n or \N (a line break) after version 2.1. An unknown escape is kept.
// Without escapes, text itself (sharing its bytes).
QByteArray unescape(const QByteArray &text, bool version21);

// The components of a structured value (N, ADR, ORG): split at the
// semicolons that are not escaped, each unescaped.
std::vector<QByteArray> components(QByteArrayView text, bool version21);

} // namespace VCardValue
