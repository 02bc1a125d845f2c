#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// Text as SQLite hands it out (UTF-8), as a QString. Unlike
// QString::fromUtf8(), it keeps a leading U+FEFF: that is part of the text,
// not a byte order mark.
QString textFromUtf8(QByteArrayView utf8);

// A name of a table, column, index or trigger as SQL takes it: in double
// quotes, each double quote in it doubled.
QString quotedSqlName(const QString &name);

// A statement prepared once on a connection (see SqliteConnection) and run
// many times.
class SqliteStatement
{
public:
    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Returns an SQLite result code; SQLITE_OK when prepared.
    int prepare(sqlite3 *db, const QString &sql);
    // Prepares and runs one statement to its end, for SQL run once (a
    // schema change); SQLITE_OK or an SQLite error code.
    static int execute(sqlite3 *db, const QString &sql);
    void finalize();
    sqlite3_stmt *handle() const { return m_statement; }

private:
    sqlite3_stmt *m_statement = nullptr;
};

// One run of a prepared statement. The statement is reset when the run ends,
// so that no read stays open between two calls of the store: an unfinished
// read would keep its lock and make another connection's write wait.
class StatementRun
{
public:
    explicit StatementRun(SqliteStatement &statement);
    ~StatementRun();
    StatementRun(const StatementRun &) = delete;
    StatementRun &operator=(const StatementRun &) = delete;

    void bind(int index, qint64 value);
    void bind(int index, const QString &value);
    // The bytes as a BLOB; a null array as NULL.
    void bindBlob(int index, const QByteArray &bytes);
    void bindNull(int index);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps to the end; SQLITE_DONE or an error code.
    int run();

    qint64 int64At(int column) const;
    // NULL reads as an empty text.
    QString textAt(int column) const;
    // NULL reads as a null array.
    QByteArray blobAt(int column) const;
    // The row id of the row this run inserted last on its connection.
    qint64 insertedRowId() const;
    // How many rows the run inserted, changed or deleted.
    int changes() const;
    sqlite3_stmt *handle() const { return m_statement; }

private:
    sqlite3_stmt *m_statement;
};

// A write transaction taken at once (BEGIN IMMEDIATE), so that a locked file
// is found before anything is written. Rolled back unless committed.
class WriteTransaction
{
public:
    explicit WriteTransaction(sqlite3 *db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    int begin();
    int commit();
    void rollback();

private:
    sqlite3 *m_db;
    bool m_open = false;
};
