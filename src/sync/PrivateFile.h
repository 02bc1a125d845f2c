#pragma once

#include <QByteArray>
#include <QString>

// Files that only their owner may read: the account list, the sync log.
namespace PrivateFile {

// The file of that kind that belongs to the contact database at databasePath:
// beside it, named after it ("db2-sync.log" for db2.mdb), so that every
// database has its own accounts and log.
QString besideDatabase(const QString &databasePath, const QString &kind);

// Replaces the file atomically: it appears whole or not at all.
bool write(const QString &path, const QByteArray &bytes, QString *error);
// Appends to the file, creating it when missing.
bool append(const QString &path, const QByteArray &bytes);

} // namespace PrivateFile
