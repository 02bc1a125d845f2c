#pragma once

#include <QByteArray>
#include <QString>

// Files that only their owner may read and that belong to one database:
// the account list, the sync log, the lock of a running sync.
namespace PrivateFile {

// The file of that kind that belongs to the contact database at databasePath:
// beside it, named after it ("db2-sync.log" for db2.mdb), so that every
// database has its own accounts and log.
QString besideDatabase(const QString &databasePath, const QString &kind);

// Appends to the file, creating it when missing.
bool append(const QString &path, const QByteArray &bytes);

} // namespace PrivateFile
