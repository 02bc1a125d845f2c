#include "contacts/StoredValue.h"

#include "contacts/SqliteStatement.h"

#include <sqlite3.h>

#include <cstring>

namespace {

// A UTF-8 character takes at most four bytes, and every byte that is not
// UTF-8 becomes at most one character: a text of more than four bytes per
// character allowed is longer than the limit, whatever it holds.
constexpr qsizetype MaxBytesPerCharacter = 4;

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xc0) == 0x80;
}

// The first `count` characters of text, not cutting a surrogate pair.
QString firstCharacters(const QString &text, qsizetype count)
{
    if (count < text.size() && count > 0 && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

// The last `count` characters of text, not cutting a surrogate pair.
QString lastCharacters(const QString &text, qsizetype count)
{
    qsizetype start = qMax<qsizetype>(0, text.size() - count);
    if (start > 0 && start < text.size() && text.at(start).isLowSurrogate())
        ++start;
    return text.mid(start);
}

QString shortened(const QString &head, const QString &tail)
{
    return head + QChar(0x2026) + tail;
}

} // namespace

StoredValue StoredValue::fromText(const QString &text)
{
    return fromUtf8(text.toUtf8());
}

StoredValue StoredValue::fromUtf8(const QByteArray &utf8)
{
    StoredValue value;
    value.m_type = Type::Text;
    value.m_bytes = utf8;
    return value;
}

StoredValue StoredValue::fromColumn(sqlite3_stmt *statement, int column)
{
    // The column's value is read at once on the thread that stepped the
    // statement, which is all SQLite asks of it.
    return fromValue(sqlite3_column_value(statement, column));
}

StoredValue StoredValue::fromValue(sqlite3_value *value)
{
    StoredValue stored;
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return stored;
    case SQLITE_INTEGER:
        stored.m_type = Type::Integer;
        stored.m_integer = sqlite3_value_int64(value);
        break;
    case SQLITE_FLOAT:
        stored.m_type = Type::Real;
        stored.m_real = sqlite3_value_double(value);
        break;
    case SQLITE_TEXT:
        stored.m_type = Type::Text;
        break;
    default:
        stored.m_type = Type::Blob;
        break;
    }
    stored.m_bytes = bytesOf(value).toByteArray();
    return stored;
}

QByteArrayView StoredValue::bytesOf(sqlite3_value *value)
{
    // A BLOB's own bytes; for a number, the text SQLite makes of it (read
    // after the number itself, as it converts the value in place).
    const void *bytes = sqlite3_value_type(value) == SQLITE_BLOB ? sqlite3_value_blob(value) : sqlite3_value_text(value);
    return QByteArrayView(static_cast<const char *>(bytes), bytes ? sqlite3_value_bytes(value) : 0);
}

void StoredValue::bind(sqlite3_stmt *statement, int index, Lifetime lifetime) const
{
    // A non-null pointer even for no bytes: SQLite binds a null pointer as NULL.
    const char *bytes = m_bytes.isNull() ? "" : m_bytes.constData();
    const auto destructor = lifetime == Lifetime::Copied ? SQLITE_TRANSIENT : SQLITE_STATIC;
    switch (m_type) {
    case Type::Null:
        sqlite3_bind_null(statement, index);
        break;
    case Type::Integer:
        sqlite3_bind_int64(statement, index, m_integer);
        break;
    case Type::Real:
        sqlite3_bind_double(statement, index, m_real);
        break;
    case Type::Text:
        sqlite3_bind_text(statement, index, bytes, int(m_bytes.size()), destructor);
        break;
    case Type::Blob:
        sqlite3_bind_blob(statement, index, bytes, int(m_bytes.size()), destructor);
        break;
    }
}

QString StoredValue::text() const
{
    return textFromUtf8(m_bytes);
}

QString StoredValue::shownText(qsizetype limit, bool *isShortened) const
{
    const qsizetype headCount = limit * 3 / 4;
    const qsizetype tailCount = limit - headCount;
    QString result;
    bool cut = true;
    if (m_bytes.size() <= MaxBytesPerCharacter * limit) {
        result = text();
        cut = result.size() > limit;
        if (cut)
            result = shortened(firstCharacters(result, headCount), lastCharacters(result, tailCount));
    } else {
        const QByteArrayView all(m_bytes);
        qsizetype tailStart = all.size() - MaxBytesPerCharacter * tailCount;
        for (int skipped = 0; skipped < 3 && isContinuationByte(all.at(tailStart)); ++skipped)
            ++tailStart;
        result = shortened(firstCharacters(textFromUtf8(all.first(MaxBytesPerCharacter * headCount)), headCount),
                           lastCharacters(textFromUtf8(all.sliced(tailStart)), tailCount));
    }
    if (isShortened)
        *isShortened = cut;
    return result;
}

bool StoredValue::operator==(const StoredValue &other) const
{
    if (m_type != other.m_type)
        return false;
    switch (m_type) {
    case Type::Null:
        return true;
    case Type::Integer:
        return m_integer == other.m_integer;
    case Type::Real:
        // Bit for bit: 0.0 and -0.0 are two values.
        return std::memcmp(&m_real, &other.m_real, sizeof m_real) == 0;
    case Type::Text:
    case Type::Blob:
        break;
    }
    return m_bytes == other.m_bytes;
}

ContactValues textsOf(const StoredRecord &record)
{
    ContactValues texts;
    for (int i = 0; i < ContactFieldCount; ++i)
        texts[i] = record[i].text();
    return texts;
}
