#pragma once

#include <QByteArray>
#include <QString>

// Files that only their owner may read: the account list, the sync log.
namespace PrivateFile {

// Replaces the file atomically: it appears whole or not at all.
bool write(const QString &path, const QByteArray &bytes, QString *error);
// Appends to the file, creating it when missing.
bool append(const QString &path, const QByteArray &bytes);

} // namespace PrivateFile
