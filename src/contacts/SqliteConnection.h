#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

struct sqlite3;

// A connection to an SQLite file, closed when it goes. Every part of the
// program that opens a database file opens it through this class, with
// SQLite's extended result codes and a busy timeout, and tells its errors
// in the same words. Statements and transactions on it: SqliteStatement.h.
class SqliteConnection
{
    Q_DECLARE_TR_FUNCTIONS(SqliteConnection)

public:
    SqliteConnection() = default;
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    // Opens the file at path with SQLite's SQLITE_OPEN_* flags; a lock held
    // by another connection is waited for up to busyTimeoutMs at each step.
    // Returns an SQLite result code. After a failure, errorText() and
    // reason() say why until the connection is opened again or closed.
    int open(const QString &path, int flags, int busyTimeoutMs);
    // The same for a name SQLite reads as it is: a file name in the file
    // system's encoding, or a file: URI when flags hold SQLITE_OPEN_URI.
    int open(const QByteArray &name, int flags, int busyTimeoutMs);
    // Statements prepared on the handle must be finalized first.
    void close();

    bool isOpen() const { return m_open; }
    sqlite3 *handle() const { return m_db; }

    // Runs SQL that returns no rows, such as a pragma; an SQLite result code.
    int exec(const char *sql);
    // SQLite's own message for the last failure on this connection.
    QString errorText() const;
    // The reason for the result code rc in plain words, for a message that
    // also names what failed; SQLite's own message where there are none.
    QString reason(int rc) const { return reason(rc, m_db); }
    static QString reason(int rc, sqlite3 *db);

private:
    sqlite3 *m_db = nullptr;
    bool m_open = false;
};
