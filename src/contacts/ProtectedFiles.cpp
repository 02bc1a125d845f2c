#include "contacts/ProtectedFiles.h"

#include "contacts/DatabaseBackup.h"

#include <QDir>
#include <QFileInfo>

ProtectedFiles::ProtectedFiles(const QString &databasePath) : m_database(databasePath) {}

bool ProtectedFiles::isDatabase(const QString &path) const
{
    return FileIdentity::of(path) == FileIdentity::of(m_database);
}

QString ProtectedFiles::refusal(const QString &path) const
{
    return refusal(FileIdentity::of(path), path);
}

QString ProtectedFiles::refusal(const FileIdentity &file, const QString &path) const
{
    if (!file.isValid())
        return QString();
    if (file == FileIdentity::of(m_database))
        return tr("%1 is the same file as the contact database %2, which is never written over.").arg(path, m_database);
    // SQLite keeps them beside the file a link names, and some tools beside the link.
    for (const QString &base : {m_database, resolvedPath(m_database)}) {
        for (const QString &beside : companions(base)) {
            if (file == FileIdentity::of(beside)) {
                return tr("%1 is the same file as %2, which SQLite keeps beside the contact database and which is "
                          "never written over.")
                    .arg(path, beside);
            }
        }
    }
    for (const QString &copy : keptCopies(m_database)) {
        if (file == FileIdentity::of(copy)) {
            return tr("%1 is the same file as %2, a copy of the contact database that Merivo keeps and never "
                      "writes over.")
                .arg(path, copy);
        }
    }
    return QString();
}

QStringList ProtectedFiles::companions(const QString &databasePath)
{
    return {databasePath + QStringLiteral("-journal"), databasePath + QStringLiteral("-wal"),
            databasePath + QStringLiteral("-shm")};
}

bool ProtectedFiles::isKeptCopyName(const QString &databasePath, const QString &fileName)
{
    const QFileInfo database(databasePath);
    const QString suffix = database.suffix().isEmpty() ? QString() : QLatin1Char('.') + database.suffix();
    const QString prefix = database.completeBaseName() + QLatin1Char('-');
    return fileName.size() > prefix.size() + suffix.size() && fileName.startsWith(prefix) && fileName.endsWith(suffix);
}

QStringList ProtectedFiles::keptCopies(const QString &databasePath)
{
    const QDir folder(DatabaseBackup::backupFolder(databasePath));
    QStringList copies;
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (isKeptCopyName(databasePath, name))
            copies.append(folder.filePath(name));
    }
    return copies;
}
