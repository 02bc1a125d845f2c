#include "contacts/ContactStore.h"

#include "contacts/ContactFileCheck.h"

#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

namespace {

QString selectedColumns()
{
    return QStringLiteral("rowid, ") + contactFieldList();
}

int finished(int rc)
{
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

} // namespace

ContactStore::~ContactStore()
{
    close();
}

bool ContactStore::open(const QString &path, const ContactDatabase::Settings &settings)
{
    m_lastError.clear();
    m_settings = settings;
    return openFile(path, settings);
}

bool ContactStore::openFile(const QString &path, const ContactDatabase::Settings &settings)
{
    close();
    if (!m_database.open(path, settings)) {
        m_lastError = m_database.lastError();
        return false;
    }
    if (!m_names.attach(m_database)) {
        m_lastError = m_names.lastError();
        close();
        return false;
    }
    if (const int rc = m_numericColumns.read(m_database.handle()); rc != SQLITE_OK) {
        fail(tr("Could not read the contact database"), rc);
        close();
        return false;
    }
    if (!prepareStatements()) {
        close();
        return false;
    }
    StatementRun run(m_schemaVersionRead);
    if (const int rc = run.step(); rc != SQLITE_ROW) {
        fail(tr("Could not read the contact database"), rc);
        close();
        return false;
    }
    m_schemaVersion = run.int64At(0);
    return true;
}

void ContactStore::close()
{
    // Qt cannot close a connection that still has statements.
    for (SqliteStatement *statement : {&m_schemaVersionRead, &m_first, &m_last, &m_after, &m_before, &m_byId,
                                       &m_findFirst, &m_insert, &m_remove})
        statement->finalize();
    m_numericColumns.clear();
    m_names.detach();
    m_database.close();
}

bool ContactStore::waitForNameKeys(int timeoutMs)
{
    return m_names.waitForKeys(timeoutMs) && followSchemaChange(tr("Could not search the contacts"));
}

bool ContactStore::prepareStatements()
{
    const QString select = QStringLiteral("SELECT %1 FROM Table1 ").arg(selectedColumns());
    QStringList placeholders;
    for (int i = 0; i < ContactFieldCount; ++i)
        placeholders.append(QStringLiteral("?%1").arg(i + 1));

    sqlite3 *db = m_database.handle();
    const struct
    {
        SqliteStatement *statement;
        QString sql;
    } statements[] = {
        {&m_schemaVersionRead, QStringLiteral("PRAGMA schema_version")},
        {&m_first, select + QStringLiteral("ORDER BY rowid LIMIT 1")},
        {&m_last, select + QStringLiteral("ORDER BY rowid DESC LIMIT 1")},
        {&m_after, select + QStringLiteral("WHERE rowid > ?1 ORDER BY rowid LIMIT 1")},
        {&m_before, select + QStringLiteral("WHERE rowid < ?1 ORDER BY rowid DESC LIMIT 1")},
        {&m_byId, select + QStringLiteral("WHERE rowid = ?1")},
        {&m_insert, QStringLiteral("INSERT INTO Table1 (%1) VALUES (%2)")
                        .arg(contactFieldList(), placeholders.join(QStringLiteral(", ")))},
        {&m_remove, QStringLiteral("DELETE FROM Table1 WHERE rowid = ?1")},
    };
    for (const auto &entry : statements) {
        const int rc = entry.statement->prepare(db, entry.sql);
        if (rc != SQLITE_OK) {
            fail(tr("Could not prepare the contact store"), rc);
            return false;
        }
    }
    return prepareFind();
}

bool ContactStore::prepareFind()
{
    const int rc = m_findFirst.prepare(m_database.handle(), m_names.findFirstSql(selectedColumns()));
    if (rc != SQLITE_OK) {
        fail(tr("Could not prepare the contact store"), rc);
        return false;
    }
    return true;
}

ContactStore::Lookup ContactStore::fail(const QString &what, int rc)
{
    m_lastError = m_database.failure(what, rc);
    return Lookup::Failed;
}

bool ContactStore::followRestore(const QString &what)
{
    if (!isOpen()) {
        m_lastError = tr("%1: the contact store is not open.").arg(what);
        return false;
    }
    // Another file in place of the one open (restored, or put there by
    // rename): carry on with it. A file only moved or deleted, or replaced
    // by one that is not a contact database, is left: what was read stays
    // shown, and every write says why it fails.
    int moved = 0;
    sqlite3_file_control(m_database.handle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved);
    if (moved) {
        const QString path = m_database.path();
        const ContactFileCheck::Verdict now = ContactFileCheck::inspect(path, m_settings.busyTimeoutMs).verdict;
        if (now == ContactFileCheck::Verdict::Contacts || now == ContactFileCheck::Verdict::Unfinished) {
            if (!openFile(path, m_settings)) {
                m_lastError = tr("%1: the contact database was replaced, and the new file could not be opened: %2")
                                  .arg(what, m_lastError);
                return false;
            }
            return true;
        }
    }
    return followSchemaChange(what);
}

bool ContactStore::followSchemaChange(const QString &what)
{
    int rc;
    {
        StatementRun run(m_schemaVersionRead);
        rc = run.step();
        if (rc == SQLITE_ROW && run.int64At(0) == m_schemaVersion)
            return true;
        if (rc == SQLITE_ROW)
            m_schemaVersion = run.int64At(0);
    }
    if (rc != SQLITE_ROW) {
        fail(what, rc);
        return false;
    }
    // A copy restored in place, keys made in the background, columns
    // converted: what the store relies on is looked at again.
    if (!m_names.attach(m_database)) {
        m_lastError = m_names.lastError();
        return false;
    }
    if ((rc = m_numericColumns.read(m_database.handle())) != SQLITE_OK) {
        fail(what, rc);
        return false;
    }
    return prepareFind();
}

ContactStore::Lookup ContactStore::readRow(StatementRun &run, ContactRow &row, const QString &what)
{
    const int rc = run.step();
    if (rc == SQLITE_DONE)
        return Lookup::Missing;
    if (rc != SQLITE_ROW)
        return fail(what, rc);
    row.id = run.int64At(0);
    for (int i = 0; i < ContactFieldCount; ++i)
        row.values[i] = StoredValue::fromColumn(run.handle(), i + 1);
    return Lookup::Found;
}

ContactStore::Lookup ContactStore::readOne(SqliteStatement &statement, const std::optional<qint64> &id,
                                           ContactRow &row, const QString &what)
{
    if (!followRestore(what))
        return Lookup::Failed;
    StatementRun run(statement);
    if (id)
        run.bind(1, *id);
    return readRow(run, row, what);
}

ContactStore::Lookup ContactStore::first(ContactRow &row)
{
    return readOne(m_first, std::nullopt, row, tr("Could not read the first contact"));
}

ContactStore::Lookup ContactStore::last(ContactRow &row)
{
    return readOne(m_last, std::nullopt, row, tr("Could not read the last contact"));
}

ContactStore::Lookup ContactStore::after(qint64 id, ContactRow &row)
{
    return readOne(m_after, id, row, tr("Could not read the next contact"));
}

ContactStore::Lookup ContactStore::before(qint64 id, ContactRow &row)
{
    return readOne(m_before, id, row, tr("Could not read the previous contact"));
}

ContactStore::Lookup ContactStore::byId(qint64 id, ContactRow &row)
{
    return readOne(m_byId, id, row, tr("Could not read the contact"));
}

ContactStore::Lookup ContactStore::firstNamed(const QString &name, ContactRow &row)
{
    const QString what = tr("Could not search the contacts");
    if (!followRestore(what))
        return Lookup::Failed;
    StatementRun run(m_findFirst);
    NameIndex::bindFind(run, name);
    return readRow(run, row, what);
}

ContactStore::Change ContactStore::compareStored(qint64 id, const StoredRecord &expected, const QString &what)
{
    ContactRow row;
    StatementRun run(m_byId);
    run.bind(1, id);
    switch (readRow(run, row, what)) {
    case Lookup::Found:
        break;
    case Lookup::Missing:
        m_lastError = tr("%1: it no longer exists (%2)").arg(what, path());
        return Change::Gone;
    case Lookup::Failed:
        return Change::Failed;
    }
    if (row.values == expected)
        return Change::Done;
    m_lastError = tr("%1: since it was read, another window or program has changed it, or deleted it and stored "
                     "another contact in its place (%2)")
                      .arg(what, path());
    return Change::Changed;
}

bool ContactStore::beginWrite(WriteTransaction &transaction, const ContactChanges &changes, const QString &what)
{
    if (!followRestore(what))
        return false;
    // SQLite would store a lone half of a surrogate pair as another
    // character: what is read back would differ from what was saved.
    for (const std::optional<QString> &text : changes) {
        if (text && !text->isValidUtf16()) {
            m_lastError = tr("%1: a text holds half of a character (a lone surrogate), which cannot be stored (%2)")
                              .arg(what, path());
            return false;
        }
    }
    if (const int rc = transaction.begin(); rc != SQLITE_OK) {
        fail(what, rc);
        return false;
    }
    // Nobody can change the schema now; it may have changed just before.
    return followSchemaChange(what);
}

bool ContactStore::finishWrite(WriteTransaction &transaction, qint64 id, const WrittenTexts &written,
                               const std::vector<StoredValue> &names, const QString &what)
{
    QString changedByColumn;
    int rc = m_numericColumns.check(id, written, changedByColumn);
    if (rc == SQLITE_OK && !changedByColumn.isEmpty()) {
        m_lastError = tr("%1: %2 Nothing was saved (%3).").arg(what, changedByColumn, path());
        return false; // rolled back by the transaction
    }
    if (rc == SQLITE_OK)
        rc = m_names.updateKeys(names);
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return false;
    }
    return true;
}

std::optional<qint64> ContactStore::insert(const ContactValues &values)
{
    const QString what = tr("Could not save the new contact");
    ContactChanges all;
    WrittenTexts written;
    for (int i = 0; i < ContactFieldCount; ++i) {
        all[i] = values[i];
        written[i] = values[i].toUtf8();
    }
    WriteTransaction transaction(m_database.handle());
    if (!beginWrite(transaction, all, what))
        return std::nullopt;
    int rc;
    {
        StatementRun run(m_insert);
        for (int i = 0; i < ContactFieldCount; ++i)
            StoredValue::fromUtf8(*written[i]).bind(run.handle(), i + 1);
        rc = run.run();
    }
    if (rc != SQLITE_DONE) {
        fail(what, rc);
        return std::nullopt;
    }
    const qint64 id = sqlite3_last_insert_rowid(m_database.handle());
    const StoredValue name = StoredValue::fromUtf8(*written[fieldIndex(ContactField::Name)]);
    if (!finishWrite(transaction, id, written, {name}, what))
        return std::nullopt;
    return id;
}

ContactStore::Change ContactStore::update(qint64 id, const ContactChanges &changes, const StoredRecord &expected)
{
    const QString what = tr("Could not save the contact");
    WriteTransaction transaction(m_database.handle());
    if (!beginWrite(transaction, changes, what))
        return Change::Failed;
    const Change stored = compareStored(id, expected, what);
    if (stored != Change::Done)
        return stored;

    // Only the fields that change are named: the others, and the triggers
    // on them, are not touched.
    QStringList assignments;
    WrittenTexts written;
    for (int i = 0; i < ContactFieldCount; ++i) {
        if (changes[i]) {
            written[i] = changes[i]->toUtf8();
            assignments.append(QStringLiteral("\"%1\" = ?%2").arg(contactFieldNames()[i]).arg(i + 1));
        }
    }
    if (assignments.isEmpty())
        return Change::Done;
    SqliteStatement write;
    int rc = write.prepare(m_database.handle(), QStringLiteral("UPDATE Table1 SET %1 WHERE rowid = ?%2")
                                                    .arg(assignments.join(QStringLiteral(", ")))
                                                    .arg(ContactFieldCount + 1));
    if (rc == SQLITE_OK) {
        StatementRun run(write);
        for (int i = 0; i < ContactFieldCount; ++i) {
            if (written[i])
                StoredValue::fromUtf8(*written[i]).bind(run.handle(), i + 1);
        }
        run.bind(ContactFieldCount + 1, id);
        rc = finished(run.run());
    }
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return Change::Failed;
    }
    const int name = fieldIndex(ContactField::Name);
    std::vector<StoredValue> names;
    if (written[name])
        names = {StoredValue::fromUtf8(*written[name]), expected[name]};
    return finishWrite(transaction, id, written, names, what) ? Change::Done : Change::Failed;
}

ContactStore::Change ContactStore::remove(qint64 id, const StoredRecord &expected)
{
    const QString what = tr("Could not delete the contact");
    WriteTransaction transaction(m_database.handle());
    if (!beginWrite(transaction, ContactChanges(), what))
        return Change::Failed;
    const Change stored = compareStored(id, expected, what);
    if (stored != Change::Done)
        return stored;
    int rc;
    {
        StatementRun run(m_remove);
        run.bind(1, id);
        rc = finished(run.run());
    }
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return Change::Failed;
    }
    return finishWrite(transaction, id, WrittenTexts(), {expected[fieldIndex(ContactField::Name)]}, what)
        ? Change::Done
        : Change::Failed;
}
