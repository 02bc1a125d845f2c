#include "contacts/SyncSchema.h"

#include "contacts/ContactRecord.h"
#include "contacts/SqliteStatement.h"

#include <QMap>
#include <QStringList>

#include <sqlite3.h>

#include <vector>

namespace {

struct SchemaObject
{
    QString type; // table, index or trigger
    QString name;
    QString sql;
};

// No type, so no affinity: a copy holds exactly what Table1 holds (text,
// BLOB, number or NULL).
QString columnsWithoutType()
{
    return SyncSchema::fieldList();
}

// In the order they are created.
const std::vector<SchemaObject> &schemaObjects()
{
    static const std::vector<SchemaObject> objects = [] {
        const QString fields = SyncSchema::fieldList();
        QStringList baseColumns;
        for (const QString &name : contactFieldNames())
            baseColumns.append(QStringLiteral("\"base %1\"").arg(name));
        QStringList copyAssignments;
        for (const QString &name : contactFieldNames())
            copyAssignments.append(QStringLiteral("\"%1\" = new.\"%1\"").arg(name));
        // A contact is that row only while its copy holds what the row held:
        // after a renumbering that no trigger saw, a row id may name another
        // contact, which must not be touched.
        const auto isOldRow = [](const QString &prefix) {
            QStringList same{QStringLiteral("%1row = old.rowid").arg(prefix)};
            for (const QString &name : contactFieldNames())
                same.append(QStringLiteral("%1\"%2\" IS old.\"%2\"").arg(prefix, name));
            return same.join(QStringLiteral(" AND "));
        };
        const QString now = QStringLiteral("CAST(strftime('%s', 'now') AS INTEGER)");
        const QString kept = QString::number(qint64(SyncSchema::KeptDays) * 86400);

        return std::vector<SchemaObject>{
            {QStringLiteral("table"), QStringLiteral("merivo_sync_contact"),
             QStringLiteral("CREATE TABLE merivo_sync_contact(id INTEGER PRIMARY KEY, row INTEGER, deleted INTEGER, "
                            "seed BLOB, %1)")
                 .arg(columnsWithoutType())},
            {QStringLiteral("index"), QStringLiteral("merivo_sync_contact_by_row"),
             QStringLiteral("CREATE INDEX merivo_sync_contact_by_row ON merivo_sync_contact(row)")},
            {QStringLiteral("index"), QStringLiteral("merivo_sync_contact_by_deleted"),
             QStringLiteral("CREATE INDEX merivo_sync_contact_by_deleted ON merivo_sync_contact(deleted) "
                            "WHERE deleted IS NOT NULL")},
            {QStringLiteral("table"), QStringLiteral("merivo_sync_item"),
             QStringLiteral("CREATE TABLE merivo_sync_item(account TEXT NOT NULL, href TEXT NOT NULL, "
                            "contact INTEGER NOT NULL, etag TEXT, card BLOB, pending BLOB, %1, PRIMARY KEY(account, href))")
                 .arg(baseColumns.join(QStringLiteral(", ")))},
            {QStringLiteral("index"), QStringLiteral("merivo_sync_item_by_contact"),
             QStringLiteral("CREATE INDEX merivo_sync_item_by_contact ON merivo_sync_item(contact, account)")},
            {QStringLiteral("table"), QStringLiteral("merivo_sync_collection"),
             QStringLiteral("CREATE TABLE merivo_sync_collection(account TEXT NOT NULL PRIMARY KEY, token TEXT)")},
            {QStringLiteral("table"), QStringLiteral("merivo_deleted"),
             QStringLiteral("CREATE TABLE merivo_deleted(id INTEGER PRIMARY KEY, deleted_at INTEGER NOT NULL, "
                            "card BLOB, %1)")
                 .arg(columnsWithoutType())},
            {QStringLiteral("index"), QStringLiteral("merivo_deleted_by_time"),
             QStringLiteral("CREATE INDEX merivo_deleted_by_time ON merivo_deleted(deleted_at)")},
            {QStringLiteral("trigger"), QStringLiteral("merivo_sync_after_update"),
             QStringLiteral("CREATE TRIGGER merivo_sync_after_update AFTER UPDATE ON Table1\nBEGIN\n"
                            "  UPDATE merivo_sync_contact SET row = new.rowid, %1 WHERE %2;\nEND")
                 .arg(copyAssignments.join(QStringLiteral(", ")), isOldRow(QString()))},
            // The card goes with a deleted contact, so that bringing it back
            // restores what the server held (photo, birthday, ...).
            {QStringLiteral("trigger"), QStringLiteral("merivo_deleted_after_delete"),
             QStringLiteral(
                 "CREATE TRIGGER merivo_deleted_after_delete AFTER DELETE ON Table1\nBEGIN\n"
                 "  DELETE FROM merivo_deleted WHERE deleted_at < %1 - %2;\n"
                 "  INSERT INTO merivo_deleted(deleted_at, card, %3) VALUES (%1, coalesce(\n"
                 "    (SELECT i.card FROM merivo_sync_contact AS c JOIN merivo_sync_item AS i ON i.contact = c.id\n"
                 "      WHERE %5 AND i.card IS NOT NULL LIMIT 1),\n"
                 "    (SELECT seed FROM merivo_sync_contact AS c WHERE %5 AND seed IS NOT NULL LIMIT 1)), %4);\n"
                 "  UPDATE merivo_sync_contact SET row = NULL, deleted = last_insert_rowid() WHERE %6;\n"
                 "END")
                 .arg(now, kept, fields, SyncSchema::fieldList(QStringLiteral("old.")), isOldRow(QStringLiteral("c.")),
                      isOldRow(QString()))},
        };
    }();
    return objects;
}

// Our objects as the file holds them: name to SQL text.
int readObjects(sqlite3 *db, QMap<QString, QString> &found)
{
    SqliteStatement list;
    int rc = list.prepare(db, QStringLiteral("SELECT name, sql FROM sqlite_schema WHERE name LIKE 'merivo\\_sync\\_%' "
                                             "ESCAPE '\\' OR name LIKE 'merivo\\_deleted%' ESCAPE '\\'"));
    if (rc != SQLITE_OK)
        return rc;
    StatementRun run(list);
    while ((rc = run.step()) == SQLITE_ROW)
        found.insert(run.textAt(0), run.textAt(1));
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

bool isCurrent(const QMap<QString, QString> &found, const SchemaObject &object)
{
    // SQLite keeps the text as written, but may collapse blanks.
    const auto it = found.constFind(object.name);
    return it != found.constEnd() && it->simplified() == object.sql.simplified();
}

} // namespace

namespace SyncSchema {

QString fieldList(const QString &prefix)
{
    QStringList parts;
    for (const QString &name : contactFieldNames())
        parts.append(QStringLiteral("%1\"%2\"").arg(prefix, name));
    return parts.join(QStringLiteral(", "));
}

int ensure(sqlite3 *db)
{
    QMap<QString, QString> found;
    int rc = readObjects(db, found);
    if (rc != SQLITE_OK)
        return rc;
    bool allCurrent = true;
    for (const SchemaObject &object : schemaObjects())
        allCurrent = allCurrent && isCurrent(found, object);
    if (allCurrent)
        return SQLITE_OK;

    WriteTransaction transaction(db);
    if ((rc = transaction.begin()) != SQLITE_OK)
        return rc;
    // Read again inside the transaction: another program may have made them.
    found.clear();
    if ((rc = readObjects(db, found)) != SQLITE_OK)
        return rc;
    for (const SchemaObject &object : schemaObjects()) {
        if (isCurrent(found, object))
            continue;
        // A table that differs (changed by hand, or by a later version)
        // cannot be trusted and is made anew; sync then pairs contacts by
        // their values again.
        if (found.contains(object.name)) {
            rc = SqliteStatement::execute(db, QStringLiteral("DROP %1 IF EXISTS %2").arg(object.type.toUpper(), quotedSqlName(object.name)));
            if (rc != SQLITE_OK)
                return rc;
        }
        if ((rc = SqliteStatement::execute(db, object.sql)) != SQLITE_OK)
            return rc;
    }
    return transaction.commit();
}

} // namespace SyncSchema
