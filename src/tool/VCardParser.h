#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>

#include <functional>
#include <vector>

// One content line of a card, split but not decoded. The views point into
// the text being parsed and stay valid while the card is handed on.
struct VCardProperty
{
    QByteArrayView name;       // without its group ("item1.EMAIL" gives EMAIL)
    QByteArrayView parameters; // what stands between the name and the colon, without the first ';'
    QByteArrayView value;      // still encoded and escaped
    qint64 line = 0;
};

struct VCard
{
    qint64 firstLine = 0;
    QByteArray version; // "2.1" when the card names none
    std::vector<VCardProperty> properties;
};

// Reads the cards of a vCard file, versions 2.1, 3.0 and 4.0: unfolds
// folded lines, joins the soft line breaks of quoted-printable values
// (2.1), splits each line into name, parameters and value, and skips the
// cards nested inside a card (2.1's AGENT). Decoding values is left to the
// reader of each property (see VCardValue).
//
// Strict about structure, so that a damaged file is not half imported: a
// line without a colon, text outside a card, or a card without its end
// stop the parse with a message naming the line.
class VCardParser
{
    Q_DECLARE_TR_FUNCTIONS(VCardParser)

public:
    // Hands each card to onCard, which may stop the parse by returning false.
    // data must stay unchanged while parsing. A UTF-8 byte order mark is
    // skipped. False on a syntax error (error() says where) or when onCard
    // stopped.
    bool parse(QByteArrayView data, const std::function<bool(const VCard &)> &onCard);
    QString error() const { return m_error; }

    // Whether data looks like a vCard file: its first line that is not blank
    // begins a card.
    static bool looksLikeVCard(QByteArrayView data);

private:
    bool fail(qint64 line, const QString &message);

    QString m_error;
};
