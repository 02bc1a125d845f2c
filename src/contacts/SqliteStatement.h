#pragma once

#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// Text as SQLite hands it out (UTF-8), as a QString. Unlike
// QString::fromUtf8(), it keeps a leading U+FEFF: that is part of the text,
// not a byte order mark.
QString textFromUtf8(QByteArrayView utf8);

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

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps to the end; SQLITE_DONE or an error code.
    int run();

    qint64 int64At(int column) const;
    // NULL reads as an empty text.
    QString textAt(int column) const;
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
