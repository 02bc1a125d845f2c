#include "tool/ColumnConversion.h"

#include "contacts/ContactRecord.h"
#include "contacts/DatabaseBackup.h"
#include "contacts/NumericColumns.h"
#include "contacts/SqliteConnection.h"
#include "contacts/SqliteStatement.h"

#include <sqlite3.h>

namespace {

qint64 countRows(sqlite3 *db, const QString &table)
{
    SqliteStatement count;
    if (count.prepare(db, QStringLiteral("SELECT count(*) FROM %1").arg(table)) != SQLITE_OK)
        return -1;
    StatementRun run(count);
    return run.step() == SQLITE_ROW ? run.int64At(0) : -1;
}

// Makes Table1 anew within the caller's transaction; `contacts` is then the
// number of rows copied.
int rebuildTable(sqlite3 *db, qint64 &contacts)
{
    // The indexes and triggers on Table1 (ours for Find by name, and any
    // other program's) go with it and are made again on the new one.
    QStringList remade;
    {
        SqliteStatement list;
        int rc = list.prepare(db, QStringLiteral("SELECT sql FROM sqlite_schema WHERE tbl_name = 'Table1' "
                                                 "AND type IN ('index', 'trigger') AND sql IS NOT NULL "
                                                 "ORDER BY type"));
        if (rc != SQLITE_OK)
            return rc;
        StatementRun run(list);
        while ((rc = run.step()) == SQLITE_ROW)
            remade.append(run.textAt(0));
        if (rc != SQLITE_DONE)
            return rc;
    }
    const QString fields = contactFieldList();
    const QStringList steps = {
        QStringLiteral("CREATE TABLE merivo_converted_table1(%1)").arg(fields),
        QStringLiteral("INSERT INTO merivo_converted_table1(rowid, %1) SELECT rowid, %1 FROM Table1").arg(fields),
        QStringLiteral("DROP TABLE Table1"),
        // The old way of renaming, which leaves views and triggers that name
        // Table1 as they are: they name the new table once it is renamed.
        QStringLiteral("PRAGMA legacy_alter_table = ON"),
        QStringLiteral("ALTER TABLE merivo_converted_table1 RENAME TO Table1"),
        QStringLiteral("PRAGMA legacy_alter_table = OFF"),
    };
    const qint64 before = countRows(db, QStringLiteral("Table1"));
    for (const QString &sql : steps + remade) {
        if (const int rc = SqliteStatement::execute(db, sql); rc != SQLITE_OK)
            return rc;
    }
    contacts = countRows(db, QStringLiteral("Table1"));
    return contacts == before ? SQLITE_OK : SQLITE_CORRUPT;
}

} // namespace

bool ColumnConversion::run(const QString &path, const QString &stamp)
{
    m_report.clear();
    m_problem.clear();
    if (!DatabaseBackup::verify(path, &m_problem))
        return false;

    SqliteConnection connection;
    int rc = connection.open(path, SQLITE_OPEN_READWRITE, DatabaseBackup::BusyTimeoutMs);
    const auto failed = [&](const QString &what) {
        m_problem = tr("%1: %2 (%3)").arg(what, connection.reason(rc), path);
        return false;
    };
    if (rc != SQLITE_OK)
        return failed(tr("Could not open the contact database"));
    connection.exec("PRAGMA synchronous=FULL");
    sqlite3 *db = connection.handle();

    NumericColumns numeric;
    if ((rc = numeric.read(db)) != SQLITE_OK)
        return failed(tr("Could not read the contact database"));
    if (numeric.isEmpty()) {
        m_report.append(tr("Every column of Table1 in %1 keeps what is written into it already; nothing was changed.")
                            .arg(path));
        return true;
    }
    QStringList converted;
    for (const NumericColumns::Column &column : numeric.columns())
        converted.append(tr("\"%1\" (%2)").arg(contactFieldNames()[column.field], column.declaredType));
    numeric.clear();

    QString error;
    const QString copy = DatabaseBackup::keepCopy(path, stamp, DatabaseBackup::Content::Consistent, &error);
    if (copy.isEmpty()) {
        m_problem = tr("Not converted: the database could not be kept first: %1").arg(error);
        return false;
    }

    WriteTransaction transaction(db);
    qint64 contacts = 0;
    rc = transaction.begin();
    if (rc == SQLITE_OK)
        rc = rebuildTable(db, contacts);
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    if (rc != SQLITE_OK)
        return failed(tr("Not converted; the database is as it was"));

    m_report.append(tr("Kept the database as %1.").arg(copy));
    m_report.append(tr("Converted the columns %1 of Table1 in %2 into columns that keep every value as it is "
                       "written; the %3 contacts are stored exactly as before.")
                        .arg(converted.join(QStringLiteral(", ")), path)
                        .arg(contacts));
    return true;
}
