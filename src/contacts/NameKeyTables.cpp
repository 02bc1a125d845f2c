#include "contacts/NameKeyTables.h"

#include "contacts/NameKey.h"

#include <QChar>
#include <QMap>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace NameKeyTables {

namespace {

struct SchemaObject
{
    QString name;
    QString sql;
};

QString pendSql(const QString &value)
{
    return QStringLiteral("  INSERT OR IGNORE INTO merivo_name_pending(name) SELECT %1 WHERE %2;\n")
        .arg(value, needsLookSql(value));
}

// What prepare() makes, in this order; every one plain SQL that the sqlite3
// shell understands.
const std::vector<SchemaObject> &preparedObjects()
{
    static const QString newName = QStringLiteral("new.\"Name\"");
    static const QString oldName = QStringLiteral("old.\"Name\"");
    static const std::vector<SchemaObject> objects = {
        {QStringLiteral("merivo_name_pending"),
         QStringLiteral("CREATE TABLE merivo_name_pending(name NOT NULL PRIMARY KEY) WITHOUT ROWID")},
        {QStringLiteral("merivo_name_variant"),
         QStringLiteral("CREATE TABLE merivo_name_variant(hash INTEGER NOT NULL, name NOT NULL, "
                        "PRIMARY KEY(hash, name)) WITHOUT ROWID")},
        {QStringLiteral("merivo_name_after_insert"),
         QStringLiteral("CREATE TRIGGER merivo_name_after_insert AFTER INSERT ON Table1\nBEGIN\n") + pendSql(newName)
             + QStringLiteral("END")},
        {QStringLiteral("merivo_name_after_update"),
         QStringLiteral("CREATE TRIGGER merivo_name_after_update AFTER UPDATE OF \"Name\" ON Table1\nBEGIN\n")
             + pendSql(newName) + pendSql(oldName) + QStringLiteral("END")},
        {QStringLiteral("merivo_name_after_delete"),
         QStringLiteral("CREATE TRIGGER merivo_name_after_delete AFTER DELETE ON Table1\nBEGIN\n") + pendSql(oldName)
             + QStringLiteral("END")},
    };
    return objects;
}

// What the last steps add.
const std::vector<SchemaObject> &finishedObjects()
{
    static const std::vector<SchemaObject> objects = {
        {QStringLiteral("merivo_name_folded"),
         QStringLiteral("CREATE INDEX merivo_name_folded ON Table1(lower(rtrim(\"Name\")))")},
        {QStringLiteral("merivo_name_scheme"), QStringLiteral("CREATE TABLE merivo_name_scheme(version TEXT NOT NULL)")},
    };
    return objects;
}

int executeAll(sqlite3 *db, const std::vector<SchemaObject> &objects)
{
    for (const SchemaObject &object : objects) {
        if (const int rc = SqliteStatement::execute(db, object.sql); rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

bool matches(const QMap<QString, QString> &found, const std::vector<SchemaObject> &objects)
{
    // SQLite keeps the text as written, but may collapse blanks.
    for (const SchemaObject &object : objects) {
        if (found.value(object.name).simplified() != object.sql.simplified())
            return false;
    }
    return true;
}

// Whether `key` is the name as lower(rtrim(name)) makes it in SQLite:
// blanks dropped from its end, A to Z made small, every other byte as it is.
bool isLoweredName(QByteArrayView key, QByteArrayView name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == ' ')
        --end;
    if (key.size() != end)
        return false;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = name.at(i);
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != key.at(i))
            return false;
    }
    return true;
}

quint32 fnv1a(QByteArrayView bytes)
{
    // FNV-1a: the hash is stored, so it must never depend on the process or
    // the platform.
    quint32 hash = 2166136261u;
    for (const char byte : bytes) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash;
}

// The hash of the key of a name that needs a look, when it is a variant;
// `key` is the room its key is made in.
std::optional<qint32> variantHashOf(QByteArrayView name, QByteArray &key)
{
    nameKeyUtf8(name, key);
    if (isLoweredName(key, name))
        return std::nullopt;
    return qint32(fnv1a(key));
}

bool isPrintableAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

// An order of stored values, close to SQLite's own for names of one class.
bool comesBefore(const StoredValue &a, const StoredValue &b)
{
    if (a.type() != b.type())
        return a.type() < b.type();
    return a.bytes() < b.bytes();
}

} // namespace

QString schemeVersion()
{
    // The Unicode tables decide what folds to what; new tables, new keys.
    // Version 3 keeps variants only, by a hash of their keys.
    return QStringLiteral("name key 3, unicode %1").arg(int(QChar::currentUnicodeVersion()));
}

int readState(sqlite3 *db, State &state)
{
    state = State::Other;
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
    if (!matches(found, preparedObjects()))
        return SQLITE_OK;
    const qsizetype prepared = qsizetype(preparedObjects().size());
    if (found.size() == prepared) {
        state = State::Building;
        return SQLITE_OK;
    }
    if (found.size() != prepared + qsizetype(finishedObjects().size()) || !matches(found, finishedObjects()))
        return SQLITE_OK;

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
    if (versions == QStringList{schemeVersion()})
        state = State::Current;
    return SQLITE_OK;
}

bool needsLook(const StoredValue &name)
{
    switch (name.type()) {
    case StoredValue::Type::Null:
        return false;
    case StoredValue::Type::Blob:
        return true;
    case StoredValue::Type::Integer:
    case StoredValue::Type::Real:
    case StoredValue::Type::Text:
        break;
    }
    return !isPrintableAscii(name.bytes());
}

QString needsLookSql(const QString &value)
{
    // GLOB never matches a BLOB (SQLITE_LIKE_DOESNT_MATCH_BLOBS), and reads
    // a text only up to its first NUL.
    return QStringLiteral("(typeof(%1) = 'blob' OR %1 GLOB '*[^ -~]*' OR instr(%1, char(0)) > 0)").arg(value);
}

qint32 keyHash(const QString &key)
{
    return qint32(fnv1a(key.toUtf8()));
}

std::optional<qint32> variantHash(const StoredValue &name)
{
    QByteArray key;
    return needsLook(name) ? variantHashOf(name.bytes(), key) : std::nullopt;
}

int prepare(sqlite3 *db)
{
    // Whatever is there under our names goes: triggers first, as they refer
    // to the tables.
    QStringList drops;
    {
        SqliteStatement list;
        int rc = list.prepare(db, QStringLiteral("SELECT type, name FROM sqlite_schema "
                                                 "WHERE name LIKE 'merivo\\_name\\_%' ESCAPE '\\' "
                                                 "AND type IN ('trigger', 'index', 'table') "
                                                 "ORDER BY CASE type WHEN 'trigger' THEN 0 WHEN 'index' THEN 1 ELSE 2 END"));
        if (rc != SQLITE_OK)
            return rc;
        StatementRun run(list);
        while ((rc = run.step()) == SQLITE_ROW)
            drops.append(QStringLiteral("DROP %1 IF EXISTS %2").arg(run.textAt(0).toUpper(), quotedSqlName(run.textAt(1))));
        if (rc != SQLITE_DONE)
            return rc;
    }
    for (const QString &drop : drops) {
        if (const int rc = SqliteStatement::execute(db, drop); rc != SQLITE_OK)
            return rc;
    }
    return executeAll(db, preparedObjects());
}

int collectVariants(sqlite3 *db, std::vector<Variant> &variants, const std::function<bool()> &stopped)
{
    // Only the names a trigger would make pending can be variants.
    SqliteStatement read;
    int rc = read.prepare(db, QStringLiteral("SELECT rowid, \"Name\" FROM Table1 WHERE rowid > ?1 AND %1 "
                                             "ORDER BY rowid LIMIT 16384")
                                  .arg(needsLookSql(QStringLiteral("\"Name\""))));
    if (rc != SQLITE_OK)
        return rc;
    qint64 after = std::numeric_limits<qint64>::min();
    QByteArray key;
    for (bool more = true; more;) {
        if (stopped())
            return SQLITE_INTERRUPT;
        StatementRun run(read); // each read a transaction of its own
        run.bind(1, after);
        more = false;
        while ((rc = run.step()) == SQLITE_ROW) {
            more = true;
            after = run.int64At(0);
            sqlite3_value *name = sqlite3_column_value(run.handle(), 1);
            if (const std::optional<qint32> hash = variantHashOf(StoredValue::bytesOf(name), key))
                variants.push_back({*hash, StoredValue::fromValue(name)});
        }
        if (rc != SQLITE_DONE)
            return rc;
    }
    return SQLITE_OK;
}

int makeIndex(sqlite3 *db)
{
    return SqliteStatement::execute(db, finishedObjects().front().sql);
}

int storeVariants(sqlite3 *db, std::vector<Variant> &variants)
{
    // In the table's own order, each goes at its end: fast, and the pages
    // are filled.
    std::sort(variants.begin(), variants.end(), [](const Variant &a, const Variant &b) {
        return a.hash != b.hash ? a.hash < b.hash : comesBefore(a.name, b.name);
    });
    // Many rows a statement: the work per row is then SQLite's alone.
    constexpr int RowsPerStatement = 64;
    const auto insertSql = [](int rows) {
        QStringList values;
        for (int i = 0; i < rows; ++i)
            values.append(QStringLiteral("(?%1, ?%2)").arg(2 * i + 1).arg(2 * i + 2));
        return QStringLiteral("INSERT OR IGNORE INTO merivo_name_variant(hash, name) VALUES ") + values.join(u',');
    };
    SqliteStatement many;
    SqliteStatement one;
    int rc = many.prepare(db, insertSql(RowsPerStatement));
    if (rc == SQLITE_OK)
        rc = one.prepare(db, insertSql(1));
    for (size_t next = 0; rc == SQLITE_OK && next < variants.size();) {
        const int rows = variants.size() - next >= RowsPerStatement ? RowsPerStatement : 1;
        StatementRun run(rows == RowsPerStatement ? many : one);
        for (int i = 0; i < rows; ++i, ++next) {
            run.bind(2 * i + 1, variants[next].hash);
            variants[next].name.bind(run.handle(), 2 * i + 2, StoredValue::Lifetime::OutlivesStep);
        }
        rc = run.run();
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK)
        return rc;
    if ((rc = SqliteStatement::execute(db, finishedObjects().back().sql)) != SQLITE_OK)
        return rc;
    SqliteStatement record;
    if ((rc = record.prepare(db, QStringLiteral("INSERT INTO merivo_name_scheme(version) VALUES (?1)"))) != SQLITE_OK)
        return rc;
    StatementRun run(record);
    run.bind(1, schemeVersion());
    rc = run.run();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

} // namespace NameKeyTables

int NameKeyWriter::prepare(sqlite3 *db)
{
    // The unary + keeps SQLite from putting the name into the indexed
    // expression in place of the column, which would hide the index.
    const struct
    {
        SqliteStatement *statement;
        const char *sql;
    } statements[] = {
        {&m_exists, "SELECT 1 FROM Table1 WHERE lower(rtrim(\"Name\")) = lower(rtrim(?1)) AND +\"Name\" = ?1 LIMIT 1"},
        {&m_addVariant, "INSERT OR IGNORE INTO merivo_name_variant(hash, name) VALUES (?1, ?2)"},
        {&m_dropVariant, "DELETE FROM merivo_name_variant WHERE hash = ?1 AND name = ?2"},
        {&m_unpend, "DELETE FROM merivo_name_pending WHERE name = ?1"},
        {&m_pending, "SELECT name FROM merivo_name_pending LIMIT ?1"},
    };
    for (const auto &entry : statements) {
        if (const int rc = entry.statement->prepare(db, QString::fromLatin1(entry.sql)); rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int NameKeyWriter::update(const StoredValue &name)
{
    int rc;
    if (const std::optional<qint32> hash = NameKeyTables::variantHash(name)) {
        bool exists = false;
        {
            StatementRun run(m_exists);
            name.bind(run.handle(), 1);
            rc = run.step();
            exists = rc == SQLITE_ROW;
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                return rc;
        }
        StatementRun run(exists ? m_addVariant : m_dropVariant);
        run.bind(1, *hash);
        name.bind(run.handle(), 2);
        if ((rc = run.run()) != SQLITE_DONE)
            return rc;
    }
    StatementRun run(m_unpend);
    name.bind(run.handle(), 1);
    rc = run.run();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int NameKeyWriter::updatePending(int most, int &done)
{
    done = 0;
    std::vector<StoredValue> names;
    {
        StatementRun run(m_pending);
        run.bind(1, most);
        int rc;
        while ((rc = run.step()) == SQLITE_ROW)
            names.push_back(StoredValue::fromColumn(run.handle(), 0));
        if (rc != SQLITE_DONE)
            return rc;
    }
    for (const StoredValue &name : names) {
        if (const int rc = update(name); rc != SQLITE_OK)
            return rc;
        ++done;
    }
    return SQLITE_OK;
}
