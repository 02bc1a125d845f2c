#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

struct sqlite3_stmt;
struct sqlite3_value;

// One field exactly as SQLite holds it: its storage class and its bytes.
// Other programs store what Merivo never would (text that is not UTF-8, a
// BLOB, NULL, a number); such a value is shown as text but kept as it is,
// and two values are equal only when class and bytes are.
class StoredValue
{
public:
    enum class Type { Null, Integer, Real, Text, Blob };

    StoredValue() = default; // NULL

    // A text as Merivo stores what is typed: UTF-8, '' rather than NULL.
    static StoredValue fromText(const QString &text);
    static StoredValue fromUtf8(const QByteArray &utf8);
    static StoredValue fromColumn(sqlite3_stmt *statement, int column);
    static StoredValue fromValue(sqlite3_value *value);

    // The bytes that bytes() of the value would hold, without copying them:
    // valid while the value is not changed or freed.
    static QByteArrayView bytesOf(sqlite3_value *value);

    // Binds the value unchanged: same class, same bytes. SQLite copies the
    // bytes unless told the value outlives the statement's next step.
    enum class Lifetime { Copied, OutlivesStep };
    void bind(sqlite3_stmt *statement, int index, Lifetime lifetime = Lifetime::Copied) const;

    Type type() const { return m_type; }
    // The bytes of a text or BLOB; SQLite's text of a number; empty for NULL.
    const QByteArray &bytes() const { return m_bytes; }

    // The value as text: UTF-8 decoded (a byte that is not UTF-8 becomes
    // U+FFFD), a number as SQLite writes it, NULL as ''.
    QString text() const;
    // The text, or, when it would be longer than `limit` characters, its
    // beginning and its end around an ellipsis; only those parts are
    // decoded, so a value of many megabytes costs what a short one does.
    QString shownText(qsizetype limit, bool *shortened = nullptr) const;

    bool operator==(const StoredValue &other) const;
    bool operator!=(const StoredValue &other) const { return !(*this == other); }

private:
    Type m_type = Type::Null;
    QByteArray m_bytes;
    qint64 m_integer = 0;
    double m_real = 0;
};

// A contact's eight fields as stored.
using StoredRecord = std::array<StoredValue, ContactFieldCount>;

// The fields a save writes: a field without a text stays as it is stored.
using ContactChanges = std::array<std::optional<QString>, ContactFieldCount>;

ContactValues textsOf(const StoredRecord &record);
