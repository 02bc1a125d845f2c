#include "contacts/SqliteStatement.h"

#include <sqlite3.h>

SqliteStatement::~SqliteStatement()
{
    finalize();
}

int SqliteStatement::prepare(sqlite3 *db, const QString &sql)
{
    finalize();
    const QByteArray utf8 = sql.toUtf8();
    return sqlite3_prepare_v3(db, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT,
                              &m_statement, nullptr);
}

void SqliteStatement::finalize()
{
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
}

StatementRun::StatementRun(SqliteStatement &statement) : m_statement(statement.handle()) {}

StatementRun::~StatementRun()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

void StatementRun::bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_statement, index, value);
}

void StatementRun::bind(int index, const QString &value)
{
    // An empty text is bound as '' and never as NULL.
    static const char16_t empty = 0;
    const void *data = value.isEmpty() ? static_cast<const void *>(&empty) : value.utf16();
    sqlite3_bind_text16(m_statement, index, data, int(value.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
}

int StatementRun::step()
{
    return sqlite3_step(m_statement);
}

int StatementRun::run()
{
    int rc;
    do {
        rc = sqlite3_step(m_statement);
    } while (rc == SQLITE_ROW);
    return rc;
}

qint64 StatementRun::int64At(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QString StatementRun::textAt(int column) const
{
    const auto *text = static_cast<const char16_t *>(sqlite3_column_text16(m_statement, column));
    if (!text)
        return QString();
    const int bytes = sqlite3_column_bytes16(m_statement, column);
    return QString::fromUtf16(text, bytes / qsizetype(sizeof(char16_t)));
}

WriteTransaction::WriteTransaction(sqlite3 *db) : m_db(db) {}

WriteTransaction::~WriteTransaction()
{
    rollback();
}

int WriteTransaction::begin()
{
    const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    m_open = rc == SQLITE_OK;
    return rc;
}

int WriteTransaction::commit()
{
    const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        m_open = false;
    return rc;
}

void WriteTransaction::rollback()
{
    // SQLite may already have rolled back by itself (disk full, I/O error).
    if (m_open && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_open = false;
}
