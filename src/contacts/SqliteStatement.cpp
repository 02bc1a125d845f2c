#include "contacts/SqliteStatement.h"

#include <QStringDecoder>

#include <sqlite3.h>

QString textFromUtf8(QByteArrayView utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

QString quotedSqlName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

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

int SqliteStatement::execute(sqlite3 *db, const QString &sql)
{
    SqliteStatement statement;
    int rc = statement.prepare(db, sql);
    if (rc == SQLITE_OK)
        rc = StatementRun(statement).run();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
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
    // As UTF-8: SQLite takes a UTF-16 text that starts with U+FEFF for one
    // with a byte order mark, and drops that character; so does Qt reading
    // UTF-16. An empty text is bound as '' and never as NULL.
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_statement, index, utf8.isEmpty() ? "" : utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void StatementRun::bindBlob(int index, const QByteArray &bytes)
{
    if (bytes.isNull())
        bindNull(index);
    else
        sqlite3_bind_blob(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void StatementRun::bindNull(int index)
{
    sqlite3_bind_null(m_statement, index);
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
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    if (!text)
        return QString();
    return textFromUtf8(QByteArrayView(text, sqlite3_column_bytes(m_statement, column)));
}

QByteArray StatementRun::blobAt(int column) const
{
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL)
        return QByteArray();
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    return QByteArray(data ? data : "", sqlite3_column_bytes(m_statement, column));
}

qint64 StatementRun::insertedRowId() const
{
    return sqlite3_last_insert_rowid(sqlite3_db_handle(m_statement));
}

int StatementRun::changes() const
{
    return sqlite3_changes(sqlite3_db_handle(m_statement));
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
