#include "contacts/NameIndex.h"

#include "contacts/ContactDatabase.h"
#include "contacts/NameKey.h"

#include <QChar>
#include <QMap>
#include <QStringList>

#include <sqlite3.h>

#include <vector>

namespace {

constexpr char KeyFunction[] = "merivo_name_key";

struct SchemaObject
{
    QString name;
    QString sql;
};

// In the order they are created; every one is plain SQL that the sqlite3
// shell understands.
const std::vector<SchemaObject> &schemaObjects()
{
    // A pending name is one that no variant carries yet; a name stays a
    // variant while some row carries it. NULL names have no variant.
    static const QString pendNew = QStringLiteral(
        "  INSERT OR IGNORE INTO merivo_name_pending(name) SELECT new.\"Name\"\n"
        "    WHERE new.\"Name\" IS NOT NULL\n"
        "      AND NOT EXISTS (SELECT 1 FROM merivo_name_variant WHERE name = new.\"Name\");\n");
    static const QString dropOld = QStringLiteral(
        "  DELETE FROM merivo_name_variant WHERE name = old.\"Name\"\n"
        "    AND NOT EXISTS (SELECT 1 FROM Table1 WHERE \"Name\" = old.\"Name\");\n"
        "  DELETE FROM merivo_name_pending WHERE name = old.\"Name\"\n"
        "    AND NOT EXISTS (SELECT 1 FROM Table1 WHERE \"Name\" = old.\"Name\");\n");
    static const std::vector<SchemaObject> objects = {
        {QStringLiteral("merivo_name_on_table1"),
         QStringLiteral("CREATE INDEX merivo_name_on_table1 ON Table1(\"Name\")")},
        {QStringLiteral("merivo_name_variant"),
         QStringLiteral("CREATE TABLE merivo_name_variant(name NOT NULL PRIMARY KEY, key TEXT NOT NULL) WITHOUT ROWID")},
        {QStringLiteral("merivo_name_variant_by_key"),
         QStringLiteral("CREATE INDEX merivo_name_variant_by_key ON merivo_name_variant(key)")},
        {QStringLiteral("merivo_name_pending"),
         QStringLiteral("CREATE TABLE merivo_name_pending(name NOT NULL PRIMARY KEY) WITHOUT ROWID")},
        {QStringLiteral("merivo_name_scheme"),
         QStringLiteral("CREATE TABLE merivo_name_scheme(version TEXT NOT NULL)")},
        {QStringLiteral("merivo_name_after_insert"),
         QStringLiteral("CREATE TRIGGER merivo_name_after_insert AFTER INSERT ON Table1\nBEGIN\n") + pendNew
             + QStringLiteral("END")},
        {QStringLiteral("merivo_name_after_update"),
         QStringLiteral("CREATE TRIGGER merivo_name_after_update AFTER UPDATE OF \"Name\" ON Table1\nBEGIN\n") + pendNew
             + dropOld + QStringLiteral("END")},
        {QStringLiteral("merivo_name_after_delete"),
         QStringLiteral("CREATE TRIGGER merivo_name_after_delete AFTER DELETE ON Table1\nBEGIN\n") + dropOld
             + QStringLiteral("END")},
    };
    return objects;
}

QString quotedIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// merivo_name_key(text): the folded key of a name; NULL folds like ''.
// UTF-8 both ways: SQLite drops a leading U+FEFF from UTF-16 text.
void nameKeyFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
    const QString name = text ? textFromUtf8(QByteArrayView(text, sqlite3_value_bytes(arguments[0]))) : QString();
    const QByteArray key = nameKey(name).toUtf8();
    // An empty key is '' and never NULL.
    sqlite3_result_text(context, key.isEmpty() ? "" : key.constData(), int(key.size()), SQLITE_TRANSIENT);
}

int execute(sqlite3 *db, const QString &sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

} // namespace

QString NameIndex::schemeVersion()
{
    // The Unicode tables decide what folds to what; new tables, new keys.
    // Keys of version 2 keep a leading U+FEFF, which version 1 lost.
    return QStringLiteral("name key 2, unicode %1").arg(int(QChar::currentUnicodeVersion()));
}

bool NameIndex::attach(ContactDatabase &database)
{
    detach();
    m_lastError.clear();
    sqlite3 *db = database.handle();

    // Direct-only: even if someone put it into the schema, SQLite would not
    // run it there.
    int rc = sqlite3_create_function_v2(db, KeyFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                        nullptr, nameKeyFunction, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        m_lastError = database.failure(tr("Could not prepare searching by name"), rc);
        return false;
    }

    bool current = false;
    rc = checkObjects(db, current);
    if (rc != SQLITE_OK) {
        m_lastError = database.failure(tr("Could not read the contact database"), rc);
        return false;
    }
    if (!current && !database.isReadOnly()) {
        // Another program holding the file only delays the keys: Find scans
        // meanwhile and the next opening tries again.
        if (rebuild(db) == SQLITE_OK)
            current = true;
    }
    m_mode = current ? Mode::Indexed : Mode::Scanning;

    if (m_mode == Mode::Indexed && !database.isReadOnly()) {
        rc = m_foldIntoVariants.prepare(
            db, QStringLiteral("INSERT OR REPLACE INTO merivo_name_variant(name, key) "
                               "SELECT name, merivo_name_key(name) FROM merivo_name_pending"));
        if (rc == SQLITE_OK)
            rc = m_clearPending.prepare(db, QStringLiteral("DELETE FROM merivo_name_pending"));
        if (rc != SQLITE_OK) {
            m_lastError = database.failure(tr("Could not prepare searching by name"), rc);
            detach();
            return false;
        }
        // Best effort: Find folds pending names on the fly anyway.
        foldPendingAtOpen(db);
    }
    return true;
}

void NameIndex::detach()
{
    m_foldIntoVariants.finalize();
    m_clearPending.finalize();
    m_mode = Mode::Scanning;
}

int NameIndex::checkObjects(sqlite3 *db, bool &current)
{
    current = false;
    QMap<QString, QString> found;
    {
        SqliteStatement list;
        int rc = list.prepare(db, QStringLiteral("SELECT name, sql FROM sqlite_schema "
                                                 "WHERE name LIKE 'merivo\\_name\\_%' ESCAPE '\\'"));
        if (rc != SQLITE_OK)
            return rc;
        StatementRun run(list);
        while ((rc = run.step()) == SQLITE_ROW)
            found.insert(run.textAt(0), run.textAt(1));
        if (rc != SQLITE_DONE)
            return rc;
    }
    if (found.size() != qsizetype(schemaObjects().size()))
        return SQLITE_OK;
    for (const SchemaObject &object : schemaObjects()) {
        // SQLite keeps the text as written, but may collapse blanks.
        if (found.value(object.name).simplified() != object.sql.simplified())
            return SQLITE_OK;
    }

    SqliteStatement version;
    int rc = version.prepare(db, QStringLiteral("SELECT version FROM merivo_name_scheme"));
    if (rc != SQLITE_OK)
        return rc;
    StatementRun run(version);
    QStringList versions;
    while ((rc = run.step()) == SQLITE_ROW)
        versions.append(run.textAt(0));
    if (rc != SQLITE_DONE)
        return rc;
    current = versions == QStringList{schemeVersion()};
    return SQLITE_OK;
}

int NameIndex::rebuild(sqlite3 *db)
{
    WriteTransaction transaction(db);
    int rc = transaction.begin();
    if (rc != SQLITE_OK)
        return rc;

    // Whatever is there under our names goes: triggers first, as they refer
    // to the tables.
    QStringList drops;
    {
        SqliteStatement list;
        rc = list.prepare(db, QStringLiteral("SELECT type, name FROM sqlite_schema "
                                             "WHERE name LIKE 'merivo\\_name\\_%' ESCAPE '\\' "
                                             "AND type IN ('trigger', 'index', 'table') "
                                             "ORDER BY CASE type WHEN 'trigger' THEN 0 WHEN 'index' THEN 1 ELSE 2 END"));
        if (rc != SQLITE_OK)
            return rc;
        StatementRun run(list);
        while ((rc = run.step()) == SQLITE_ROW)
            drops.append(QStringLiteral("DROP %1 IF EXISTS %2").arg(run.textAt(0).toUpper(), quotedIdentifier(run.textAt(1))));
        if (rc != SQLITE_DONE)
            return rc;
    }
    for (const QString &drop : drops) {
        if ((rc = execute(db, drop)) != SQLITE_OK)
            return rc;
    }
    for (const SchemaObject &object : schemaObjects()) {
        if ((rc = execute(db, object.sql)) != SQLITE_OK)
            return rc;
    }

    rc = execute(db, QStringLiteral("INSERT OR IGNORE INTO merivo_name_variant(name, key) "
                                    "SELECT name, merivo_name_key(name) FROM "
                                    "(SELECT DISTINCT \"Name\" AS name FROM Table1 WHERE \"Name\" IS NOT NULL)"));
    if (rc != SQLITE_OK)
        return rc;
    SqliteStatement record;
    rc = record.prepare(db, QStringLiteral("INSERT INTO merivo_name_scheme(version) VALUES (?1)"));
    if (rc != SQLITE_OK)
        return rc;
    {
        StatementRun run(record);
        run.bind(1, schemeVersion());
        rc = run.run();
        if (rc != SQLITE_DONE)
            return rc;
    }
    record.finalize();
    return transaction.commit();
}

int NameIndex::foldPendingAtOpen(sqlite3 *db)
{
    {
        SqliteStatement any;
        int rc = any.prepare(db, QStringLiteral("SELECT 1 FROM merivo_name_pending LIMIT 1"));
        if (rc != SQLITE_OK)
            return rc;
        StatementRun run(any);
        rc = run.step();
        if (rc != SQLITE_ROW)
            return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    WriteTransaction transaction(db);
    int rc = transaction.begin();
    if (rc == SQLITE_OK)
        rc = foldPending();
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    return rc;
}

int NameIndex::foldPending()
{
    if (!m_foldIntoVariants.handle())
        return SQLITE_OK;
    int rc = StatementRun(m_foldIntoVariants).run();
    if (rc == SQLITE_DONE)
        rc = StatementRun(m_clearPending).run();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

QString NameIndex::findFirstSql(const QString &columns) const
{
    if (m_mode == Mode::Scanning) {
        return QStringLiteral("SELECT %1 FROM Table1 WHERE merivo_name_key(\"Name\") = ?1 ORDER BY rowid LIMIT 1")
            .arg(columns);
    }
    return QStringLiteral(
               "SELECT %1 FROM Table1 WHERE rowid = (SELECT min(first) FROM ("
               " SELECT (SELECT min(t.rowid) FROM Table1 AS t WHERE t.\"Name\" = v.name) AS first"
               "  FROM merivo_name_variant AS v WHERE v.key = ?1"
               " UNION ALL"
               " SELECT (SELECT min(t.rowid) FROM Table1 AS t WHERE t.\"Name\" = p.name)"
               "  FROM merivo_name_pending AS p WHERE merivo_name_key(p.name) = ?1"
               " UNION ALL"
               " SELECT min(rowid) FROM Table1 WHERE \"Name\" IS NULL AND ?1 = ''))")
        .arg(columns);
}
