#include "contacts/DeletedContacts.h"

#include "contacts/ContactDatabase.h"
#include "contacts/SqliteStatement.h"
#include "contacts/SyncSchema.h"

#include <sqlite3.h>

namespace {

// Runs sql with up to two numbers bound; SQLITE_OK or an error code. Sets
// inserted to the row it inserted and changed to the rows it changed.
int execute(sqlite3 *db, const QString &sql, qint64 argument = 0, qint64 second = 0, qint64 *inserted = nullptr,
            int *changed = nullptr)
{
    SqliteStatement statement;
    int rc = statement.prepare(db, sql);
    if (rc != SQLITE_OK)
        return rc;
    StatementRun run(statement);
    run.bind(1, argument);
    run.bind(2, second);
    rc = run.run();
    if (inserted)
        *inserted = run.insertedRowId();
    if (changed)
        *changed = run.changes();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

} // namespace

bool DeletedContacts::fail(const QString &what, int rc)
{
    m_lastError = m_database.failure(what, rc);
    return false;
}

int DeletedContacts::forgetExpired()
{
    return execute(m_database.handle(),
                   QStringLiteral("DELETE FROM merivo_deleted WHERE deleted_at < CAST(strftime('%s', 'now') AS INTEGER) - ?1"),
                   qint64(SyncSchema::KeptDays) * 86400);
}

bool DeletedContacts::list(std::vector<DeletedContact> &contacts)
{
    const QString what = tr("Could not read the deleted contacts");
    sqlite3 *db = m_database.handle();
    if (!m_database.isReadOnly()) {
        if (const int rc = forgetExpired(); rc != SQLITE_OK)
            return fail(what, rc);
    }
    SqliteStatement select;
    int rc = select.prepare(db, QStringLiteral("SELECT id, deleted_at, card IS NOT NULL, %1 FROM merivo_deleted "
                                               "WHERE deleted_at >= CAST(strftime('%s', 'now') AS INTEGER) - ?1 "
                                               "ORDER BY deleted_at DESC, id DESC")
                                    .arg(SyncSchema::fieldList()));
    if (rc != SQLITE_OK)
        return fail(what, rc);
    StatementRun run(select);
    run.bind(1, qint64(SyncSchema::KeptDays) * 86400);
    contacts.clear();
    while ((rc = run.step()) == SQLITE_ROW) {
        DeletedContact contact;
        contact.number = run.int64At(0);
        contact.deletedAt = QDateTime::fromSecsSinceEpoch(run.int64At(1));
        contact.hasCard = run.int64At(2) != 0;
        for (int i = 0; i < ContactFieldCount; ++i)
            contact.values[i] = run.textAt(3 + i);
        contacts.push_back(contact);
    }
    return rc == SQLITE_DONE || fail(what, rc);
}

std::optional<qint64> DeletedContacts::undelete(qint64 number)
{
    const QString what = tr("Could not bring back the deleted contact %1").arg(number);
    sqlite3 *db = m_database.handle();
    WriteTransaction transaction(db);
    int rc = transaction.begin();
    if (rc == SQLITE_OK)
        rc = forgetExpired();
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return std::nullopt;
    }
    {
        SqliteStatement exists;
        rc = exists.prepare(db, QStringLiteral("SELECT 1 FROM merivo_deleted WHERE id = ?1"));
        if (rc == SQLITE_OK) {
            StatementRun run(exists);
            run.bind(1, number);
            rc = run.step();
        }
        if (rc == SQLITE_DONE) {
            m_lastError = tr("%1: there is no such deleted contact; merivo-tool deleted lists them.").arg(what);
            return std::nullopt;
        }
        if (rc != SQLITE_ROW) {
            fail(what, rc);
            return std::nullopt;
        }
    }

    // The values go back as they were stored, bit for bit. A contact whose
    // deletion sync has not sent yet is found again by its sync entry; one
    // already deleted on the servers goes back to them with its card.
    const QString fields = SyncSchema::fieldList();
    qint64 row = 0;
    rc = execute(db, QStringLiteral("INSERT INTO Table1(%1) SELECT %1 FROM merivo_deleted WHERE id = ?1").arg(fields),
                 number, 0, &row);
    int relinked = 0;
    if (rc == SQLITE_OK) {
        rc = execute(db,
                     QStringLiteral("UPDATE merivo_sync_contact SET row = ?2, deleted = NULL, seed = coalesce(seed, "
                                    "(SELECT card FROM merivo_deleted WHERE id = ?1)), (%1) = (SELECT %1 FROM Table1 "
                                    "WHERE rowid = ?2) WHERE deleted = ?1")
                         .arg(fields),
                     number, row, nullptr, &relinked);
    }
    if (rc == SQLITE_OK && relinked == 0) {
        rc = execute(db,
                     QStringLiteral("INSERT INTO merivo_sync_contact(row, seed, %1) SELECT ?2, card, %1 "
                                    "FROM merivo_deleted WHERE id = ?1 AND card IS NOT NULL")
                         .arg(fields),
                     number, row);
    }
    if (rc == SQLITE_OK)
        rc = execute(db, QStringLiteral("DELETE FROM merivo_deleted WHERE id = ?1"), number);
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return std::nullopt;
    }
    return row;
}
