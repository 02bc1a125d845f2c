#pragma once

#include "files/FileIdentity.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The files of one contact database that nothing may ever write over: the
// database itself, the files SQLite keeps beside it (the rollback journal,
// or -wal and -shm in WAL mode), and the copies Merivo keeps of it in
// backups/. Files are compared as files (FileIdentity), so no spelling of a
// path, symbolic link or hard link gets past.
class ProtectedFiles
{
    Q_DECLARE_TR_FUNCTIONS(ProtectedFiles)

public:
    explicit ProtectedFiles(const QString &databasePath);

    // Why nothing may be written at path (or into the open file, shown as
    // path), in one line naming both files; empty when it may be written.
    QString refusal(const QString &path) const;
    QString refusal(const FileIdentity &file, const QString &path) const;
    // Whether path is the database itself, under whatever name.
    bool isDatabase(const QString &path) const;

    // What SQLite keeps beside a database: the rollback journal, and the log
    // and the shared memory of WAL mode.
    static QStringList companions(const QString &databasePath);

    // The names Merivo gives the copies it keeps in backups/:
    // <database name>-<stamp>.<suffix>.
    static bool isKeptCopyName(const QString &databasePath, const QString &fileName);
    // The kept copies there are, as paths.
    static QStringList keptCopies(const QString &databasePath);

private:
    QString m_database;
};
