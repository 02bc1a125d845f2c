#include "contacts/NameIndex.h"

#include "contacts/ContactDatabase.h"
#include "contacts/NameKey.h"
#include "contacts/NameKeyBuilder.h"
#include "contacts/NameKeyTables.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace {

constexpr char KeyFunction[] = "merivo_name_key";

// merivo_name_key(value): the folded key of a name as UTF-8, the text the
// store shows for the value folded; NULL folds like ''.
void nameKeyFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    QByteArray key;
    nameKeyUtf8(StoredValue::bytesOf(arguments[0]), key);
    // An empty key is '' and never NULL.
    sqlite3_result_text(context, key.isEmpty() ? "" : key.constData(), int(key.size()), SQLITE_TRANSIENT);
}

// The first row whose name is exactly `name`, through the index.
QString firstRowNamed(const QString &name)
{
    return QStringLiteral("(SELECT t.rowid FROM Table1 AS t WHERE lower(rtrim(t.\"Name\")) = lower(rtrim(%1)) "
                          "AND +t.\"Name\" = %1 ORDER BY t.rowid LIMIT 1)")
        .arg(name);
}

// A file small enough to be keyed at once, before the form shows: a few
// milliseconds, and no thread at work beside the window.
constexpr qint64 KeyedAtOnceBytes = 4 * 1024 * 1024;

bool hasPendingNames(sqlite3 *db)
{
    SqliteStatement any;
    if (any.prepare(db, QStringLiteral("SELECT 1 FROM merivo_name_pending LIMIT 1")) != SQLITE_OK)
        return false;
    StatementRun run(any);
    return run.step() == SQLITE_ROW;
}

} // namespace

NameIndex::NameIndex() = default;

NameIndex::~NameIndex() = default;

bool NameIndex::attach(ContactDatabase &database, Building building)
{
    m_writer.reset();
    m_mode = Mode::Scanning;
    m_lastError.clear();
    sqlite3 *db = database.handle();

    // Direct-only: even if someone put it into the schema, SQLite would not
    // run it there.
    int rc = sqlite3_create_function_v2(db, KeyFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                        nullptr, nameKeyFunction, nullptr, nullptr, nullptr);
    NameKeyTables::State state = NameKeyTables::State::Other;
    if (rc == SQLITE_OK)
        rc = NameKeyTables::readState(db, state);
    // Not within a transaction of the caller's, which the steps cannot join.
    const bool here = sqlite3_get_autocommit(db)
        && (building == Building::Now || QFileInfo(database.path()).size() <= KeyedAtOnceBytes);
    if (rc == SQLITE_OK && state != NameKeyTables::State::Current && !database.isReadOnly()) {
        // Another program holding the file only delays the keys: Find scans
        // meanwhile and the next opening tries again.
        if (!here)
            m_builder = NameKeyBuilder::start(database.path());
        else if (NameKeyBuilder::buildNow(db) == SQLITE_OK)
            rc = NameKeyTables::readState(db, state);
    }
    if (rc != SQLITE_OK) {
        m_lastError = database.failure(tr("Could not read the contact database"), rc);
        return false;
    }
    if (state != NameKeyTables::State::Current)
        return true;

    m_mode = Mode::Indexed;
    if (database.isReadOnly())
        return true;
    m_writer = std::make_unique<NameKeyWriter>();
    if ((rc = m_writer->prepare(db)) != SQLITE_OK) {
        m_lastError = database.failure(tr("Could not prepare searching by name"), rc);
        detach();
        return false;
    }
    // Names other programs wrote: Find folds them as it reads until they
    // are keyed.
    if (hasPendingNames(db)) {
        if (here)
            NameKeyBuilder::buildNow(db);
        else
            m_builder = NameKeyBuilder::start(database.path());
    }
    return true;
}

void NameIndex::detach()
{
    m_writer.reset();
    m_builder.reset();
    m_mode = Mode::Scanning;
}

bool NameIndex::waitForKeys(int timeoutMs)
{
    return !m_builder || m_builder->wait(timeoutMs);
}

int NameIndex::updateKeys(const std::vector<StoredValue> &names)
{
    if (!m_writer)
        return SQLITE_OK; // the triggers make them pending, if they are there
    for (const StoredValue &name : names) {
        if (const int rc = m_writer->update(name); rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int NameIndex::updatePendingKeys()
{
    if (!m_writer)
        return SQLITE_OK;
    constexpr int Batch = 4096;
    int done = Batch;
    int rc = SQLITE_OK;
    while (rc == SQLITE_OK && done == Batch)
        rc = m_writer->updatePending(Batch, done);
    return rc;
}

QString NameIndex::findFirstSql(const QString &columns) const
{
    if (m_mode == Mode::Scanning) {
        return QStringLiteral("SELECT %1 FROM Table1 WHERE CASE WHEN %2 THEN merivo_name_key(\"Name\") "
                              "ELSE lower(rtrim(\"Name\")) END = ?1 OR (\"Name\" IS NULL AND ?1 = '') "
                              "ORDER BY rowid LIMIT 1")
            .arg(columns, NameKeyTables::needsLookSql(QStringLiteral("\"Name\"")));
    }
    return QStringLiteral(
               "SELECT %1 FROM Table1 WHERE rowid = (SELECT min(first) FROM ("
               " SELECT (SELECT rowid FROM Table1 WHERE lower(rtrim(\"Name\")) = ?1"
               "  AND merivo_name_key(\"Name\") = ?1 ORDER BY rowid LIMIT 1) AS first"
               " UNION ALL"
               " SELECT %2 FROM merivo_name_variant AS v WHERE v.hash = ?2 AND merivo_name_key(v.name) = ?1"
               " UNION ALL"
               " SELECT %3 FROM merivo_name_pending AS p WHERE merivo_name_key(p.name) = ?1"
               " UNION ALL"
               " SELECT (SELECT rowid FROM Table1 WHERE lower(rtrim(\"Name\")) IS NULL ORDER BY rowid LIMIT 1)"
               "  WHERE ?1 = ''))")
        .arg(columns, firstRowNamed(QStringLiteral("v.name")), firstRowNamed(QStringLiteral("p.name")));
}

void NameIndex::bindFind(StatementRun &run, const QString &name)
{
    const QString key = nameKey(name);
    run.bind(1, key);
    run.bind(2, NameKeyTables::keyHash(key)); // not used when scanning
}

std::optional<qint64> NameIndex::unkeyedNames(sqlite3 *db)
{
    NameKeyTables::State state;
    if (NameKeyTables::readState(db, state) != SQLITE_OK || state != NameKeyTables::State::Current)
        return std::nullopt;
    SqliteStatement names;
    SqliteStatement keyed;
    int rc = names.prepare(db, QStringLiteral("SELECT DISTINCT \"Name\" FROM Table1 WHERE %1")
                                   .arg(NameKeyTables::needsLookSql(QStringLiteral("\"Name\""))));
    if (rc == SQLITE_OK) {
        rc = keyed.prepare(db, QStringLiteral("SELECT EXISTS(SELECT 1 FROM merivo_name_variant WHERE hash = ?1 AND "
                                              "name = ?2) OR EXISTS(SELECT 1 FROM merivo_name_pending WHERE name = ?2)"));
    }
    if (rc != SQLITE_OK)
        return std::nullopt;
    qint64 count = 0;
    StatementRun run(names);
    while ((rc = run.step()) == SQLITE_ROW) {
        const StoredValue name = StoredValue::fromColumn(run.handle(), 0);
        const std::optional<qint32> hash = NameKeyTables::variantHash(name);
        if (!hash)
            continue;
        StatementRun check(keyed);
        check.bind(1, *hash);
        name.bind(check.handle(), 2);
        if (check.step() != SQLITE_ROW)
            return std::nullopt;
        if (check.int64At(0) == 0)
            ++count;
    }
    return rc == SQLITE_DONE ? std::optional<qint64>(count) : std::nullopt;
}
