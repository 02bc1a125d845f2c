#include "tool/DatabaseCheck.h"

#include "contacts/DatabaseBackup.h"
#include "contacts/NameIndex.h"
#include "contacts/ProtectedFiles.h"
#include "contacts/SqliteConnection.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <optional>

namespace {

// The first column of the first row of a query; nothing when it fails.
std::optional<QString> single(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    std::optional<QString> result;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    return result;
}

} // namespace

bool DatabaseCheck::run(const QString &path)
{
    m_report.clear();
    m_problem.clear();
    if (!DatabaseBackup::verify(path, &m_problem))
        return false;

    SqliteConnection connection;
    if (connection.open(path, SQLITE_OPEN_READONLY, DatabaseBackup::BusyTimeoutMs) != SQLITE_OK) {
        m_problem = tr("Could not read %1: %2").arg(path, connection.errorText());
        return false;
    }
    sqlite3 *db = connection.handle();
    const QString contacts = single(db, "SELECT count(*) FROM Table1").value_or(QStringLiteral("?"));
    const QString unnamed =
        single(db, "SELECT count(*) FROM Table1 WHERE trim(ifnull(\"Name\", '')) = ''").value_or(QStringLiteral("?"));
    const QString names =
        single(db, "SELECT count(DISTINCT \"Name\") FROM Table1 WHERE \"Name\" IS NOT NULL").value_or(QStringLiteral("?"));
    // Names neither keyed nor waiting to be: Find would not find them.
    const std::optional<qint64> unkeyed = NameIndex::unkeyedNames(db);
    connection.close();

    m_report.append(tr("%1: no problems found.").arg(path));
    m_report.append(tr("Contacts: %1 (without a name: %2).").arg(contacts, unnamed));
    m_report.append(tr("Different names: %1.").arg(names));
    if (!unkeyed) {
        m_report.append(tr("Name keys: to be made when Merivo next opens the file."));
    } else if (*unkeyed > 0) {
        m_problem = tr("%1: %2 names have no name key, so Find cannot find them.").arg(path).arg(*unkeyed);
        return false;
    } else {
        m_report.append(tr("Name keys: up to date."));
    }
    m_report.append(tr("Size: %1 bytes.").arg(QFileInfo(path).size()));
    m_report.append(tr("Backups in %1: %2.")
                        .arg(DatabaseBackup::backupFolder(path), QString::number(ProtectedFiles::keptCopies(path).size())));
    return true;
}
