#pragma once

#include <QCoreApplication>
#include <QString>

// Copies of db2.mdb made through SQLite's backup API, so that a copy is
// consistent even while the program has the file open and writes to it:
// the copy is of one committed state, never half of a save.
//
// Safe on any thread: each call opens connections of its own (plain SQLite,
// no Qt SQL connection).
class DatabaseBackup
{
    Q_DECLARE_TR_FUNCTIONS(DatabaseBackup)

public:
    // How long a copy waits for another program's write lock, all told.
    static constexpr int BusyTimeoutMs = 5000;

    // Copies live in the folder backups/ beside the database, named after it
    // and a stamp: backups/db2-<stamp>.mdb.
    static QString backupFolder(const QString &databasePath);
    static QString backupPath(const QString &databasePath, const QString &stamp);

    // Copies the contact database at source into the file target, which
    // appears complete or not at all (written beside it under another
    // name, flushed to disk, then renamed over it). Refuses a source that
    // is not a contact database.
    static bool copy(const QString &source, const QString &target, QString *error);

    // Copies any file as it is, just as atomically: for keeping a damaged
    // or foreign database before it is replaced.
    static bool copyFile(const QString &source, const QString &target, QString *error);

    // Whether the file at path is a contact database that SQLite's integrity
    // check finds sound; problem says what is wrong otherwise.
    static bool verify(const QString &path, QString *problem);

    // Replaces the contents of the database at target with those of the
    // sound contact database at source. A target that is a contact database
    // is overwritten in place in one transaction, so that connections the
    // program holds open see the new contents; any other file (or none) is
    // replaced as a whole, atomically.
    static bool replaceContents(const QString &source, const QString &target, QString *error);
};
