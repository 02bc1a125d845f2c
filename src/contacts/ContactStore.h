#pragma once

#include "contacts/ContactDatabase.h"
#include "contacts/ContactRecord.h"
#include "contacts/NameIndex.h"
#include "contacts/SqliteStatement.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

struct ContactRow
{
    qint64 id = 0; // the row id: a record's place in view order and its bookmark
    ContactValues values;
};

// The rows of Table1 as one store reads and writes them: each read is one
// index look-up by row id or name, each write one short transaction that
// also keeps the name keys up to date. Statements are prepared once when the
// store opens. Nothing stays open between two calls.
//
// A row id names a row, not a contact: when the last row is deleted, the
// next insert may be given its id. So a change or deletion is given the
// values its caller last read, and touches the row only if it still holds
// them; another window or program may have changed or replaced it meanwhile.
class ContactStore
{
    Q_DECLARE_TR_FUNCTIONS(ContactStore)

public:
    enum class Lookup { Found, Missing, Failed };
    enum class Change {
        Done,    // written, or removed
        Gone,    // no row has that id any more; nothing written
        Changed, // the row holds other values than expected; nothing written
        Failed,  // lastError() says why
    };

    ContactStore() = default;
    ~ContactStore();
    ContactStore(const ContactStore &) = delete;
    ContactStore &operator=(const ContactStore &) = delete;

    bool open(const QString &path, const ContactDatabase::Settings &settings);
    void close();

    bool isOpen() const { return m_database.isOpen(); }
    bool isReadOnly() const { return m_database.isReadOnly(); }
    QString readOnlyReason() const { return m_database.readOnlyReason(); }
    bool searchesByIndex() const { return m_names.mode() == NameIndex::Mode::Indexed; }
    QString path() const { return m_database.path(); }
    QString connectionName() const { return m_database.connectionName(); }
    QString lastError() const { return m_lastError; }

    Lookup first(ContactRow &row);
    Lookup last(ContactRow &row);
    Lookup after(qint64 id, ContactRow &row);
    Lookup before(qint64 id, ContactRow &row);
    Lookup byId(qint64 id, ContactRow &row);
    // The first row in view order whose name matches `name` (see nameKey()).
    Lookup firstNamed(const QString &name, ContactRow &row);

    // The new row's id, or nothing when it could not be stored.
    std::optional<qint64> insert(const ContactValues &values);
    // Writes `values` into the row `id` if it still holds `expected`.
    Change update(qint64 id, const ContactValues &values, const ContactValues &expected);
    // Removes the row `id` if it still holds `expected`.
    Change remove(qint64 id, const ContactValues &expected);

private:
    Lookup readOne(SqliteStatement &statement, const std::optional<qint64> &id, ContactRow &row, const QString &what);
    Lookup readRow(StatementRun &run, ContactRow &row, const QString &what);
    bool prepareStatements();
    Lookup fail(const QString &what, int rc);
    // Checks that a write may start and opens its transaction; false, with
    // the reason in lastError(), when it may not.
    bool beginWrite(WriteTransaction &transaction, const ContactValues &values, const QString &what);
    // Within the caller's write transaction: is the row still as expected?
    Change compareStored(qint64 id, const ContactValues &expected, const QString &what);
    bool refuseBrokenText(const ContactValues &values, const QString &what);

    ContactDatabase m_database;
    NameIndex m_names;
    QString m_lastError;

    SqliteStatement m_first;
    SqliteStatement m_last;
    SqliteStatement m_after;
    SqliteStatement m_before;
    SqliteStatement m_byId;
    SqliteStatement m_findFirst;
    SqliteStatement m_insert;
    SqliteStatement m_update;
    SqliteStatement m_remove;
};
