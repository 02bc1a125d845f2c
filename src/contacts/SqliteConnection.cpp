#include "contacts/SqliteConnection.h"

#include <QFile>

#include <sqlite3.h>

SqliteConnection::~SqliteConnection()
{
    close();
}

int SqliteConnection::open(const QString &path, int flags, int busyTimeoutMs)
{
    return open(QFile::encodeName(path), flags, busyTimeoutMs);
}

int SqliteConnection::open(const QByteArray &name, int flags, int busyTimeoutMs)
{
    close();
    // A failed opening may still hand out a connection: it holds the message.
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr);
    if (m_db) {
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, busyTimeoutMs);
    }
    m_open = rc == SQLITE_OK;
    return rc;
}

void SqliteConnection::close()
{
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_open = false;
}

int SqliteConnection::exec(const char *sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

QString SqliteConnection::errorText() const
{
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

QString SqliteConnection::reason(int rc, sqlite3 *db)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return tr("the database is locked by another program or window");
    case SQLITE_FULL:
        return tr("the disk is full");
    case SQLITE_READONLY:
        return rc == SQLITE_READONLY_DBMOVED ? tr("the database file was moved or deleted")
                                             : tr("the database is open read-only");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return tr("the database file is damaged");
    default:
        return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    }
}
