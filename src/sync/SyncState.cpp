#include "sync/SyncState.h"

#include "contacts/SyncSchema.h"

#include <QSet>
#include <QStringList>

#include <sqlite3.h>

#include <map>
#include <vector>

namespace {

ContactValues valuesAt(const StatementRun &run, int first)
{
    ContactValues values;
    for (int i = 0; i < ContactFieldCount; ++i)
        values[i] = run.textAt(first + i);
    return values;
}

void bindValues(StatementRun &run, int first, const ContactValues &values)
{
    for (int i = 0; i < ContactFieldCount; ++i)
        run.bind(first + i, values[i]);
}

QString placeholders(int first)
{
    QStringList list;
    for (int i = 0; i < ContactFieldCount; ++i)
        list.append(QStringLiteral("?%1").arg(first + i));
    return list.join(QStringLiteral(", "));
}

int doneAsOk(int rc)
{
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Runs onRow for every row; SQLITE_DONE at the end, else an error code.
template<typename OnRow>
int forEachRow(int prepared, StatementRun &run, OnRow &&onRow)
{
    if (prepared != SQLITE_OK)
        return prepared;
    int rc;
    while ((rc = run.step()) == SQLITE_ROW)
        onRow();
    return rc;
}

size_t hashOf(const ContactValues &values)
{
    size_t hash = 0;
    for (const QString &value : values)
        hash = hash * 31 + qHash(value);
    return hash;
}

} // namespace

SyncState::~SyncState()
{
    rollback();
    for (SqliteStatement *statement : {&m_putItem, &m_dropItem, &m_readRow, &m_insertRow, &m_insertContact})
        statement->finalize();
}

bool SyncState::fail(const QString &what, int rc)
{
    m_lastError = m_database.failure(what, rc);
    return false;
}

int SyncState::execute(const QString &sql)
{
    return SqliteStatement::execute(m_database.handle(), sql);
}

bool SyncState::open(const QString &path)
{
    // Long enough to wait out a window saving, or a backup being made.
    if (!m_database.open(path, {.busyTimeoutMs = 10000, .readOnly = false})) {
        m_lastError = m_database.lastError();
        return false;
    }
    if (m_database.isReadOnly()) {
        m_lastError = tr("Could not sync the contacts in %1: %2.").arg(path, m_database.readOnlyReason());
        return false;
    }
    sqlite3 *db = m_database.handle();
    int rc = SyncSchema::ensure(db);
    const QString fields = SyncSchema::fieldList();
    QStringList bases;
    for (const QString &name : contactFieldNames())
        bases.append(QStringLiteral("\"base %1\"").arg(name));
    const struct
    {
        SqliteStatement *statement;
        QString sql;
    } statements[] = {
        {&m_putItem, QStringLiteral("INSERT OR REPLACE INTO merivo_sync_item(account, href, contact, etag, card, pending, "
                                    "%1) VALUES (?1, ?2, ?3, ?4, ?5, ?6, %2)")
                         .arg(bases.join(QStringLiteral(", ")), placeholders(7))},
        {&m_dropItem, QStringLiteral("DELETE FROM merivo_sync_item WHERE account = ?1 AND href = ?2")},
        {&m_readRow, QStringLiteral("SELECT %1 FROM Table1 WHERE rowid = ?1").arg(fields)},
        {&m_insertRow, QStringLiteral("INSERT INTO Table1(%1) VALUES (%2)").arg(fields, placeholders(1))},
        {&m_insertContact, QStringLiteral("INSERT INTO merivo_sync_contact(row, %1) SELECT rowid, %1 FROM Table1 "
                                          "WHERE rowid = ?1")
                               .arg(fields)},
    };
    for (const auto &entry : statements) {
        if (rc == SQLITE_OK)
            rc = entry.statement->prepare(db, entry.sql);
    }
    if (rc != SQLITE_OK)
        return fail(tr("Could not prepare the sync of the contact database"), rc);
    return true;
}

int SyncState::reconcile()
{
    const QString what = tr("Could not read the contacts to sync");
    sqlite3 *db = m_database.handle();
    QStringList differs;
    for (const QString &name : contactFieldNames())
        differs.append(QStringLiteral("t.\"%1\" IS NOT c.\"%1\"").arg(name));
    SqliteStatement check;
    int rc = check.prepare(db, QStringLiteral("SELECT EXISTS (SELECT 1 FROM merivo_sync_contact AS c LEFT JOIN Table1 "
                                              "AS t ON t.rowid = c.row WHERE c.row IS NOT NULL AND (t.rowid IS NULL OR "
                                              "%1)) OR EXISTS (SELECT row FROM merivo_sync_contact WHERE row IS NOT "
                                              "NULL GROUP BY row HAVING count(*) > 1)")
                                   .arg(differs.join(QStringLiteral(" OR "))));
    bool broken = false;
    if (rc == SQLITE_OK) {
        StatementRun run(check);
        rc = run.step();
        broken = rc == SQLITE_ROW && run.int64At(0) != 0;
    }
    if (rc != SQLITE_ROW) {
        fail(what, rc);
        return -1;
    }

    WriteTransaction transaction(db);
    if ((rc = transaction.begin()) != SQLITE_OK) {
        fail(what, rc);
        return -1;
    }
    int moved = 0;
    if (broken && !remap(moved))
        return -1;
    const QString fields = SyncSchema::fieldList();
    rc = execute(QStringLiteral("INSERT INTO merivo_sync_contact(row, %1) SELECT rowid, %1 FROM Table1 AS t "
                                "WHERE NOT EXISTS (SELECT 1 FROM merivo_sync_contact AS c WHERE c.row = t.rowid)")
                     .arg(fields));
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return -1;
    }
    return moved;
}

bool SyncState::remap(int &moved)
{
    const QString what = tr("Could not pair the contacts with their rows again");
    sqlite3 *db = m_database.handle();
    const QString fields = SyncSchema::fieldList();

    struct Entry
    {
        qint64 id;
        qint64 row;
        ContactValues values;
    };
    std::vector<Entry> contacts;
    std::map<qint64, ContactValues> rows;
    {
        SqliteStatement select;
        int rc = select.prepare(db, QStringLiteral("SELECT id, row, %1 FROM merivo_sync_contact WHERE row IS NOT NULL "
                                                   "ORDER BY row, id").arg(fields));
        StatementRun run(select);
        rc = forEachRow(rc, run, [&] { contacts.push_back({run.int64At(0), run.int64At(1), valuesAt(run, 2)}); });
        if (rc != SQLITE_DONE)
            return fail(what, rc);
    }
    {
        SqliteStatement select;
        int rc = select.prepare(db, QStringLiteral("SELECT rowid, %1 FROM Table1").arg(fields));
        StatementRun run(select);
        rc = forEachRow(rc, run, [&] { rows.emplace(run.int64At(0), valuesAt(run, 1)); });
        if (rc != SQLITE_DONE)
            return fail(what, rc);
    }

    // 1. still in its row; 2. its values in another row (renumbered), in
    // row order; 3. a row changed while no trigger saw it: one of the same
    // name, else its own row if half its fields still agree; 4. gone:
    // deleted while no trigger saw it.
    QSet<qint64> claimed;
    std::vector<const Entry *> unplaced;
    std::map<qint64, qint64> moves; // contact id to row, 0 for gone
    for (const Entry &entry : contacts) {
        const auto row = rows.find(entry.row);
        if (row != rows.end() && row->second == entry.values && !claimed.contains(entry.row))
            claimed.insert(entry.row);
        else
            unplaced.push_back(&entry);
    }
    std::multimap<size_t, qint64> byValues;
    std::multimap<QString, qint64> byName;
    for (const auto &[row, values] : rows) {
        if (!claimed.contains(row)) {
            byValues.emplace(hashOf(values), row);
            byName.emplace(values[0], row);
        }
    }
    const auto firstFree = [&](auto range, const std::function<bool(qint64)> &fits) -> qint64 {
        for (auto it = range.first; it != range.second; ++it) {
            if (!claimed.contains(it->second) && fits(it->second))
                return it->second;
        }
        return 0;
    };
    std::vector<const Entry *> changed;
    for (const Entry *entry : unplaced) {
        const qint64 found = firstFree(byValues.equal_range(hashOf(entry->values)),
                                       [&](qint64 row) { return rows.at(row) == entry->values; });
        if (found) {
            claimed.insert(found);
            moves[entry->id] = found;
        } else {
            changed.push_back(entry);
        }
    }
    for (const Entry *entry : changed) {
        qint64 found = firstFree(byName.equal_range(entry->values[0]), [](qint64) { return true; });
        const auto own = rows.find(entry->row);
        if (!found && own != rows.end() && !claimed.contains(entry->row)) {
            int same = 0;
            for (int i = 0; i < ContactFieldCount; ++i)
                same += own->second[i] == entry->values[i];
            if (same * 2 >= ContactFieldCount)
                found = entry->row;
        }
        if (found)
            claimed.insert(found);
        moves[entry->id] = found;
    }

    moved = int(moves.size());
    SqliteStatement place;
    SqliteStatement keepDeleted;
    SqliteStatement markGone;
    int rc = place.prepare(db, QStringLiteral("UPDATE merivo_sync_contact SET row = ?2 WHERE id = ?1"));
    // A contact deleted while no trigger could pair it is kept like any
    // other deleted contact: the trigger kept its values, and it gets its card.
    SqliteStatement findDeleted;
    QStringList same;
    for (const QString &name : contactFieldNames())
        same.append(QStringLiteral("d.\"%1\" IS c.\"%1\"").arg(name));
    const QString card = QStringLiteral("coalesce((SELECT card FROM merivo_sync_item WHERE contact = c.id AND card IS NOT "
                                        "NULL LIMIT 1), c.seed)");
    if (rc == SQLITE_OK) {
        rc = findDeleted.prepare(db, QStringLiteral("SELECT d.id FROM merivo_deleted AS d, merivo_sync_contact AS c WHERE "
                                                    "c.id = ?1 AND d.card IS NULL AND %1 ORDER BY d.id DESC LIMIT 1")
                                         .arg(same.join(QStringLiteral(" AND "))));
    }
    if (rc == SQLITE_OK) {
        rc = keepDeleted.prepare(db, QStringLiteral("INSERT OR REPLACE INTO merivo_deleted(id, deleted_at, card, %1) SELECT "
                                                    "?2, coalesce((SELECT deleted_at FROM merivo_deleted WHERE id = ?2), "
                                                    "CAST(strftime('%s', 'now') AS INTEGER)), %2, %1 FROM "
                                                    "merivo_sync_contact AS c WHERE id = ?1")
                                         .arg(fields, card));
    }
    if (rc == SQLITE_OK)
        rc = markGone.prepare(db, QStringLiteral("UPDATE merivo_sync_contact SET row = NULL, deleted = ?2 WHERE id = ?1"));
    for (auto it = moves.begin(); rc == SQLITE_OK && it != moves.end(); ++it) {
        if (it->second) {
            StatementRun run(place);
            run.bind(1, it->first);
            run.bind(2, it->second);
            rc = doneAsOk(run.run());
        } else {
            qint64 kept = 0;
            {
                StatementRun run(findDeleted);
                run.bind(1, it->first);
                rc = run.step();
                kept = rc == SQLITE_ROW ? run.int64At(0) : 0;
                rc = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
            }
            if (rc == SQLITE_OK) {
                StatementRun run(keepDeleted);
                run.bind(1, it->first);
                if (kept)
                    run.bind(2, kept);
                rc = doneAsOk(run.run());
                kept = run.insertedRowId();
            }
            if (rc == SQLITE_OK) {
                StatementRun run(markGone);
                run.bind(1, it->first);
                run.bind(2, kept);
                rc = doneAsOk(run.run());
            }
        }
    }
    // Every copy as its row holds it, bit for bit, so that the next check
    // finds nothing to pair.
    if (rc == SQLITE_OK) {
        rc = execute(QStringLiteral("UPDATE merivo_sync_contact SET (%1) = (SELECT %1 FROM Table1 WHERE rowid = row) "
                                    "WHERE row IS NOT NULL")
                         .arg(fields));
    }
    return rc == SQLITE_OK || fail(what, rc);
}

bool SyncState::loadContacts(QHash<qint64, LocalContact> &contacts)
{
    SqliteStatement select;
    int rc = select.prepare(m_database.handle(),
                            QStringLiteral("SELECT id, row, deleted, %1 FROM merivo_sync_contact")
                                .arg(SyncSchema::fieldList()));
    StatementRun run(select);
    contacts.clear();
    rc = forEachRow(rc, run, [&] {
        const LocalContact contact{run.int64At(0), run.int64At(1), run.int64At(2), valuesAt(run, 3)};
        contacts.insert(contact.id, contact);
    });
    return rc == SQLITE_DONE || fail(tr("Could not read the contacts to sync"), rc);
}

bool SyncState::loadItems(const QString &account, QHash<QString, SyncItem> &items)
{
    QStringList bases;
    for (const QString &name : contactFieldNames())
        bases.append(QStringLiteral("\"base %1\"").arg(name));
    SqliteStatement select;
    int rc = select.prepare(m_database.handle(),
                            QStringLiteral("SELECT href, contact, etag, card, pending, %1 FROM merivo_sync_item "
                                           "WHERE account = ?1")
                                .arg(bases.join(QStringLiteral(", "))));
    StatementRun run(select);
    run.bind(1, account);
    items.clear();
    rc = forEachRow(rc, run, [&] {
        SyncItem item;
        item.href = run.textAt(0);
        item.contact = run.int64At(1);
        item.etag = run.textAt(2).toUtf8();
        item.card = run.blobAt(3);
        item.pending = run.blobAt(4);
        item.base = valuesAt(run, 5);
        items.insert(item.href, item);
    });
    return rc == SQLITE_DONE || fail(tr("Could not read what the last sync kept"), rc);
}

QByteArray SyncState::cardOf(qint64 contact)
{
    SqliteStatement select;
    if (select.prepare(m_database.handle(), QStringLiteral("SELECT coalesce(seed, (SELECT card FROM merivo_sync_item WHERE "
                                                           "contact = ?1 AND card IS NOT NULL LIMIT 1)) FROM "
                                                           "merivo_sync_contact WHERE id = ?1"))
        != SQLITE_OK)
        return QByteArray();
    StatementRun run(select);
    run.bind(1, contact);
    return run.step() == SQLITE_ROW ? run.blobAt(0) : QByteArray();
}

std::optional<QString> SyncState::token(const QString &account)
{
    SqliteStatement select;
    int rc = select.prepare(m_database.handle(), QStringLiteral("SELECT token FROM merivo_sync_collection WHERE account = ?1"));
    StatementRun run(select);
    run.bind(1, account);
    if (rc == SQLITE_OK)
        rc = run.step();
    if (rc == SQLITE_ROW)
        return run.textAt(0).isNull() ? QStringLiteral("") : run.textAt(0); // synced before
    if (rc == SQLITE_DONE)
        return QString(); // never synced
    fail(tr("Could not read what the last sync kept"), rc);
    return std::nullopt;
}

bool SyncState::begin()
{
    m_transaction = std::make_unique<WriteTransaction>(m_database.handle());
    if (const int rc = m_transaction->begin(); rc != SQLITE_OK) {
        m_transaction.reset();
        return fail(tr("Could not write to the contact database"), rc);
    }
    return true;
}

bool SyncState::commit()
{
    if (!m_transaction)
        return true;
    const int rc = m_transaction->commit();
    m_transaction.reset();
    return rc == SQLITE_OK || fail(tr("Could not write to the contact database"), rc);
}

void SyncState::rollback()
{
    m_transaction.reset();
}

bool SyncState::setToken(const QString &account, const QString &token)
{
    SqliteStatement statement;
    int rc = statement.prepare(m_database.handle(),
                               QStringLiteral("INSERT OR REPLACE INTO merivo_sync_collection(account, token) VALUES (?1, ?2)"));
    if (rc == SQLITE_OK) {
        StatementRun run(statement);
        run.bind(1, account);
        run.bind(2, token);
        rc = run.run();
    }
    return rc == SQLITE_DONE || fail(tr("Could not keep the server's sync token"), rc);
}

bool SyncState::putItem(const QString &account, const SyncItem &item)
{
    StatementRun run(m_putItem);
    run.bind(1, account);
    run.bind(2, item.href);
    run.bind(3, item.contact);
    if (item.etag.isEmpty())
        run.bindNull(4);
    else
        run.bind(4, QString::fromUtf8(item.etag));
    run.bindBlob(5, item.card);
    run.bindBlob(6, item.pending);
    bindValues(run, 7, item.base);
    const int rc = run.run();
    return rc == SQLITE_DONE || fail(tr("Could not keep what was synced"), rc);
}

bool SyncState::dropItem(const QString &account, const QString &href)
{
    StatementRun run(m_dropItem);
    run.bind(1, account);
    run.bind(2, href);
    const int rc = run.run();
    return rc == SQLITE_DONE || fail(tr("Could not keep what was synced"), rc);
}

bool SyncState::readRow(qint64 row, ContactValues &values, bool &found)
{
    StatementRun run(m_readRow);
    run.bind(1, row);
    const int rc = run.step();
    found = rc == SQLITE_ROW;
    if (found)
        values = valuesAt(run, 0);
    return rc == SQLITE_ROW || rc == SQLITE_DONE || fail(tr("Could not read a contact"), rc);
}

bool SyncState::insertContact(const ContactValues &values, LocalContact &contact)
{
    const QString what = tr("Could not store a contact from the server");
    qint64 row = 0;
    int rc;
    {
        StatementRun run(m_insertRow);
        bindValues(run, 1, values);
        rc = run.run();
        row = run.insertedRowId();
    }
    if (rc != SQLITE_DONE)
        return fail(what, rc);
    StatementRun run(m_insertContact);
    run.bind(1, row);
    rc = run.run();
    if (rc != SQLITE_DONE)
        return fail(what, rc);
    contact = LocalContact{run.insertedRowId(), row, 0, values};
    return true;
}

SyncState::RowChange SyncState::updateContact(LocalContact &contact, const ContactValues &values)
{
    const QString what = tr("Could not store a change from the server");
    ContactValues stored;
    bool found = false;
    if (!readRow(contact.row, stored, found))
        return RowChange::Failed;
    if (!found || stored != contact.values)
        return RowChange::Changed; // changed meanwhile: the next sync merges it
    QStringList assignments;
    std::vector<int> changed;
    for (int i = 0; i < ContactFieldCount; ++i) {
        if (values[i] != stored[i]) {
            changed.push_back(i);
            assignments.append(QStringLiteral("\"%1\" = ?%2").arg(contactFieldNames()[i]).arg(changed.size() + 1));
        }
    }
    if (changed.empty())
        return RowChange::Done;
    // Only the fields that changed: the others keep what they hold, bit for bit.
    SqliteStatement update;
    int rc = update.prepare(m_database.handle(), QStringLiteral("UPDATE Table1 SET %1 WHERE rowid = ?1")
                                                     .arg(assignments.join(QStringLiteral(", "))));
    if (rc == SQLITE_OK) {
        StatementRun run(update);
        run.bind(1, contact.row);
        for (size_t i = 0; i < changed.size(); ++i)
            run.bind(int(i) + 2, values[changed[i]]);
        rc = run.run();
    }
    if (rc != SQLITE_DONE) {
        fail(what, rc);
        return RowChange::Failed;
    }
    contact.values = values;
    return RowChange::Done;
}

SyncState::RowChange SyncState::deleteContact(LocalContact &contact)
{
    ContactValues stored;
    bool found = false;
    if (!readRow(contact.row, stored, found))
        return RowChange::Failed;
    if (!found || stored != contact.values)
        return RowChange::Changed;
    // The trigger keeps it among the deleted contacts, with its card.
    SqliteStatement remove;
    int rc = remove.prepare(m_database.handle(), QStringLiteral("DELETE FROM Table1 WHERE rowid = ?1"));
    if (rc == SQLITE_OK) {
        StatementRun run(remove);
        run.bind(1, contact.row);
        rc = run.run();
    }
    if (rc != SQLITE_DONE) {
        fail(tr("Could not delete a contact deleted on the server"), rc);
        return RowChange::Failed;
    }
    contact.row = 0;
    return RowChange::Done;
}

bool SyncState::reviveContact(LocalContact &contact, const ContactValues &values)
{
    const QString what = tr("Could not bring back a contact changed on the server");
    int rc;
    qint64 row = 0;
    {
        StatementRun run(m_insertRow);
        bindValues(run, 1, values);
        rc = run.run();
        row = run.insertedRowId();
    }
    SqliteStatement relink;
    if (rc == SQLITE_DONE) {
        rc = relink.prepare(m_database.handle(),
                            QStringLiteral("UPDATE merivo_sync_contact SET row = ?2, deleted = NULL, (%1) = (SELECT %1 "
                                           "FROM Table1 WHERE rowid = ?2) WHERE id = ?1")
                                .arg(SyncSchema::fieldList()));
        if (rc == SQLITE_OK) {
            StatementRun run(relink);
            run.bind(1, contact.id);
            run.bind(2, row);
            rc = run.run();
        }
    }
    // It is no longer a deleted contact.
    if (rc == SQLITE_DONE && contact.deleted) {
        rc = execute(QStringLiteral("DELETE FROM merivo_deleted WHERE id = %1").arg(contact.deleted));
        rc = rc == SQLITE_OK ? SQLITE_DONE : rc;
    }
    if (rc != SQLITE_DONE)
        return fail(what, rc);
    contact.row = row;
    contact.deleted = 0;
    contact.values = values;
    return true;
}

bool SyncState::forgetDeleted()
{
    const int rc = execute(QStringLiteral("DELETE FROM merivo_sync_contact WHERE row IS NULL AND NOT EXISTS (SELECT 1 "
                                          "FROM merivo_sync_item WHERE contact = merivo_sync_contact.id)"));
    return rc == SQLITE_OK || fail(tr("Could not write to the contact database"), rc);
}

bool SyncState::removeAccount(const QString &account)
{
    if (!begin())
        return false;
    for (const char *table : {"merivo_sync_item", "merivo_sync_collection"}) {
        SqliteStatement remove;
        int rc = remove.prepare(m_database.handle(), QStringLiteral("DELETE FROM %1 WHERE account = ?1").arg(QLatin1String(table)));
        if (rc == SQLITE_OK) {
            StatementRun run(remove);
            run.bind(1, account);
            rc = run.run();
        }
        if (rc != SQLITE_DONE) {
            rollback();
            return fail(tr("Could not forget the account's sync state"), rc);
        }
    }
    return forgetDeleted() && commit();
}
