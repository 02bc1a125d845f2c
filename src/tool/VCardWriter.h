#pragma once

#include "tool/ContactFields.h"

#include <QByteArray>

// Writes contacts as vCards, 4.0 (RFC 6350) or 3.0 (RFC 2426), UTF-8 with
// CR LF line ends and lines folded at 75 bytes (never inside a character).
//
//   FN     Name (N too, guessed by splitting the name at its last blank,
//          for the programs that show N: the import reads FN)
//   ADR    Address (TYPE=home) and Office address (TYPE=work), each whole
//          in the street component
//   TEL    Phone Number (TYPE=home), Office Phone Number (TYPE=work)
//   TITLE  Position
//   EMAIL  Email Address
//   URL    Website Address
//
// Empty fields are left out. Every value is escaped as text (\\ \, \; and \n
// for a line break; a CR LF or a lone CR is written as one line break); the
// URL too, since common readers split an unescaped comma there. A value that
// is not clean UTF-8 is written repaired (Utf8Text::repaired), so a card is
// always valid UTF-8.
class VCardWriter
{
public:
    enum class Version { V3, V4 };

    explicit VCardWriter(Version version) : m_version(version) {}

    // Returns how many values were written repaired.
    int append(const ContactFieldViews &values, QByteArray &out) const;

private:
    Version m_version;
};
