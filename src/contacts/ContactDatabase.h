#pragma once

#include "contacts/SqliteConnection.h"

#include <QCoreApplication>
#include <QString>

// One connection to db2.mdb, opened for one store and used from its thread.
//
// Opening creates a missing folder and file (or fills a 0-byte file) with an
// empty Table1, and refuses, with a message naming the path and the cause, a
// file that is not a contact database, leaving it untouched. A file that
// this process may not write (or whose folder it may not write, which the
// rollback journal needs) is opened read-only for browsing; writes then fail
// with readOnlyReason().
//
// Durability: a rollback journal deleted at commit (journal_mode=DELETE) and
// synchronous=FULL, so a saved contact survives a crash or power loss, and
// the file stays a single plain SQLite file that the sqlite3 shell can use.
// A change cut short by a crash is undone when the file is next opened, also
// when it was the change that created the file. A lock held by another
// program is waited for up to the busy timeout.
class ContactDatabase
{
    Q_DECLARE_TR_FUNCTIONS(ContactDatabase)

public:
    struct Settings
    {
        int busyTimeoutMs = 2000;
        bool readOnly = false; // browse only, even when the file is writable
    };

    ContactDatabase() = default;
    ~ContactDatabase();
    ContactDatabase(const ContactDatabase &) = delete;
    ContactDatabase &operator=(const ContactDatabase &) = delete;

    bool open(const QString &path, const Settings &settings);
    // Statements prepared on handle() must be finalized before.
    void close();

    bool isOpen() const { return m_connection.isOpen(); }
    bool isReadOnly() const { return m_readOnly; }
    // Why the file is open read-only ("the file may not be written", ...).
    QString readOnlyReason() const { return m_readOnlyReason; }
    sqlite3 *handle() const { return m_connection.handle(); }
    QString path() const { return m_path; }
    QString lastError() const { return m_lastError; }

    // "<what>: <SQLite's reason in plain words> (<path>)", for a failure
    // that the connection has just reported with the code rc.
    QString failure(const QString &what, int rc) const;

private:
    bool fail(const QString &message);
    bool openConnection();
    bool undoUnfinishedChange();
    bool createContactTable();

    SqliteConnection m_connection;
    QString m_path;
    QString m_lastError;
    QString m_readOnlyReason;
    Settings m_settings;
    bool m_readOnly = false;
    bool m_created = false;
};
