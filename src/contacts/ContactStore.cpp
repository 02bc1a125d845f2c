#include "contacts/ContactStore.h"

#include "contacts/NameKey.h"

#include <QStringList>

#include <sqlite3.h>

namespace {

QString quotedFieldList(const QString &pattern)
{
    QStringList parts;
    for (const QString &name : contactFieldNames())
        parts.append(pattern.arg(name));
    return parts.join(QStringLiteral(", "));
}

} // namespace

ContactStore::~ContactStore()
{
    close();
}

bool ContactStore::open(const QString &path, const ContactDatabase::Settings &settings)
{
    close();
    m_lastError.clear();
    if (!m_database.open(path, settings)) {
        m_lastError = m_database.lastError();
        return false;
    }
    if (!m_names.attach(m_database)) {
        m_lastError = m_names.lastError();
        close();
        return false;
    }
    if (!prepareStatements()) {
        close();
        return false;
    }
    return true;
}

void ContactStore::close()
{
    // Qt cannot close a connection that still has statements.
    for (SqliteStatement *statement :
         {&m_first, &m_last, &m_after, &m_before, &m_byId, &m_findFirst, &m_insert, &m_update, &m_remove})
        statement->finalize();
    m_names.detach();
    m_database.close();
}

bool ContactStore::prepareStatements()
{
    const QString columns = QStringLiteral("rowid, ") + quotedFieldList(QStringLiteral("\"%1\""));
    const QString select = QStringLiteral("SELECT %1 FROM Table1 ").arg(columns);
    QStringList placeholders;
    for (int i = 0; i < ContactFieldCount; ++i)
        placeholders.append(QStringLiteral("?%1").arg(i + 1));
    QStringList assignments;
    for (int i = 0; i < ContactFieldCount; ++i)
        assignments.append(QStringLiteral("\"%1\" = ?%2").arg(contactFieldNames()[i]).arg(i + 1));

    sqlite3 *db = m_database.handle();
    const struct
    {
        SqliteStatement *statement;
        QString sql;
    } statements[] = {
        {&m_first, select + QStringLiteral("ORDER BY rowid LIMIT 1")},
        {&m_last, select + QStringLiteral("ORDER BY rowid DESC LIMIT 1")},
        {&m_after, select + QStringLiteral("WHERE rowid > ?1 ORDER BY rowid LIMIT 1")},
        {&m_before, select + QStringLiteral("WHERE rowid < ?1 ORDER BY rowid DESC LIMIT 1")},
        {&m_byId, select + QStringLiteral("WHERE rowid = ?1")},
        {&m_findFirst, m_names.findFirstSql(columns)},
        {&m_insert, QStringLiteral("INSERT INTO Table1 (%1) VALUES (%2)")
                        .arg(quotedFieldList(QStringLiteral("\"%1\"")), placeholders.join(QStringLiteral(", ")))},
        {&m_update, QStringLiteral("UPDATE Table1 SET %1 WHERE rowid = ?%2")
                        .arg(assignments.join(QStringLiteral(", ")))
                        .arg(ContactFieldCount + 1)},
        {&m_remove, QStringLiteral("DELETE FROM Table1 WHERE rowid = ?1")},
    };
    for (const auto &entry : statements) {
        const int rc = entry.statement->prepare(db, entry.sql);
        if (rc != SQLITE_OK) {
            fail(tr("Could not prepare the contact store"), rc);
            return false;
        }
    }
    return true;
}

ContactStore::Lookup ContactStore::fail(const QString &what, int rc)
{
    m_lastError = m_database.failure(what, rc);
    return Lookup::Failed;
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
        row.values[i] = run.textAt(i + 1);
    return Lookup::Found;
}

ContactStore::Lookup ContactStore::readOne(SqliteStatement &statement, const std::optional<qint64> &id,
                                           ContactRow &row, const QString &what)
{
    if (!isOpen()) {
        m_lastError = tr("%1: the contact store is not open.").arg(what);
        return Lookup::Failed;
    }
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
    if (!isOpen()) {
        m_lastError = tr("%1: the contact store is not open.").arg(what);
        return Lookup::Failed;
    }
    StatementRun run(m_findFirst);
    run.bind(1, nameKey(name));
    return readRow(run, row, what);
}

bool ContactStore::refuseBrokenText(const ContactValues &values, const QString &what)
{
    // SQLite would store a lone half of a surrogate pair as another
    // character: what is read back would differ from what was saved.
    for (const QString &value : values) {
        if (!value.isValidUtf16()) {
            m_lastError = tr("%1: a text holds half of a character (a lone surrogate), which cannot be stored (%2)")
                              .arg(what, path());
            return false;
        }
    }
    return true;
}

ContactStore::Change ContactStore::compareStored(qint64 id, const ContactValues &expected, const QString &what)
{
    ContactRow row;
    switch (readOne(m_byId, id, row, what)) {
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

bool ContactStore::beginWrite(WriteTransaction &transaction, const ContactValues &values, const QString &what)
{
    if (!isOpen()) {
        m_lastError = tr("%1: the contact store is not open.").arg(what);
        return false;
    }
    if (!refuseBrokenText(values, what))
        return false;
    if (const int rc = transaction.begin(); rc != SQLITE_OK) {
        fail(what, rc);
        return false;
    }
    return true;
}

std::optional<qint64> ContactStore::insert(const ContactValues &values)
{
    const QString what = tr("Could not save the new contact");
    sqlite3 *db = m_database.handle();
    WriteTransaction transaction(db);
    if (!beginWrite(transaction, values, what))
        return std::nullopt;
    int rc = SQLITE_OK;
    {
        StatementRun run(m_insert);
        for (int i = 0; i < ContactFieldCount; ++i)
            run.bind(i + 1, values[i]);
        rc = run.run();
    }
    if (rc != SQLITE_DONE) {
        fail(what, rc);
        return std::nullopt;
    }
    const qint64 id = sqlite3_last_insert_rowid(db);
    if ((rc = m_names.foldPending()) != SQLITE_OK || (rc = transaction.commit()) != SQLITE_OK) {
        fail(what, rc);
        return std::nullopt;
    }
    return id;
}

ContactStore::Change ContactStore::update(qint64 id, const ContactValues &values, const ContactValues &expected)
{
    const QString what = tr("Could not save the contact");
    WriteTransaction transaction(m_database.handle());
    if (!beginWrite(transaction, values, what))
        return Change::Failed;
    const Change stored = compareStored(id, expected, what);
    if (stored != Change::Done)
        return stored;
    int rc = SQLITE_OK;
    {
        StatementRun run(m_update);
        for (int i = 0; i < ContactFieldCount; ++i)
            run.bind(i + 1, values[i]);
        run.bind(ContactFieldCount + 1, id);
        rc = run.run();
    }
    if (rc != SQLITE_DONE || (rc = m_names.foldPending()) != SQLITE_OK || (rc = transaction.commit()) != SQLITE_OK) {
        fail(what, rc);
        return Change::Failed;
    }
    return Change::Done;
}

ContactStore::Change ContactStore::remove(qint64 id, const ContactValues &expected)
{
    const QString what = tr("Could not delete the contact");
    if (!isOpen()) {
        m_lastError = tr("%1: the contact store is not open.").arg(what);
        return Change::Failed;
    }
    // The triggers that drop its name key run in the same transaction.
    WriteTransaction transaction(m_database.handle());
    int rc = transaction.begin();
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return Change::Failed;
    }
    const Change stored = compareStored(id, expected, what);
    if (stored != Change::Done)
        return stored;
    {
        StatementRun run(m_remove);
        run.bind(1, id);
        rc = run.run();
    }
    if (rc != SQLITE_DONE || (rc = transaction.commit()) != SQLITE_OK) {
        fail(what, rc);
        return Change::Failed;
    }
    return Change::Done;
}
