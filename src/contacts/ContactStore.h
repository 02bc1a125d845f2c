#pragma once

#include "contacts/ContactDatabase.h"
#include "contacts/ContactRecord.h"
#include "contacts/NameIndex.h"
#include "contacts/NumericColumns.h"
#include "contacts/SqliteStatement.h"
#include "contacts/StoredValue.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

struct ContactRow
{
    qint64 id = 0; // the row id: a record's place in view order and its bookmark
    StoredRecord values;
};

// The rows of Table1 as one store reads and writes them: each read is one
// index look-up by row id or name, each write one short transaction that
// also keeps the name keys up to date. Statements are prepared once when the
// store opens. Nothing stays open between two calls.
//
// Values are read and compared exactly as stored (see StoredValue), and a
// change writes only the fields it changes: whatever another program stored
// in the others stays bit for bit.
//
// A row id names a row, not a contact: when the last row is deleted, the
// next insert may be given its id. So a change or deletion is given the
// values its caller last read, and touches the row only if it still holds
// them; another window or program may have changed or replaced it meanwhile.
//
// Another program may also restore a copy over the file while the store has
// it open: in place (SQLite's backup API), which changes the schema, or by
// putting another file in its place. Every call first looks for both: the
// store then reads the schema again (making the name keys a restored copy
// lacks), or opens the file now at the path, and carries on with it.
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
    // Waits until name keys being made in the background are done.
    bool waitForNameKeys(int timeoutMs);
    QString path() const { return m_database.path(); }
    sqlite3 *databaseHandle() const { return m_database.handle(); }
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
    // Writes the changed fields into the row `id` if it still holds `expected`.
    Change update(qint64 id, const ContactChanges &changes, const StoredRecord &expected);
    // Removes the row `id` if it still holds `expected`.
    Change remove(qint64 id, const StoredRecord &expected);

private:
    bool openFile(const QString &path, const ContactDatabase::Settings &settings);
    Lookup readOne(SqliteStatement &statement, const std::optional<qint64> &id, ContactRow &row, const QString &what);
    Lookup readRow(StatementRun &run, ContactRow &row, const QString &what);
    bool prepareStatements();
    bool prepareFind();
    Lookup fail(const QString &what, int rc);
    // Follows a restore: a file put in place of the one open, or a schema
    // changed under the connection. False, with lastError(), when the store
    // cannot go on.
    bool followRestore(const QString &what);
    bool followSchemaChange(const QString &what);
    // Checks that a write may start and opens its transaction; false, with
    // the reason in lastError(), when it may not.
    bool beginWrite(WriteTransaction &transaction, const ContactChanges &changes, const QString &what);
    // Within the caller's write transaction: is the row still as expected?
    Change compareStored(qint64 id, const StoredRecord &expected, const QString &what);
    // Within it too: the name keys, and what the column types made of the texts.
    bool finishWrite(WriteTransaction &transaction, qint64 id, const WrittenTexts &written,
                     const std::vector<StoredValue> &names, const QString &what);

    ContactDatabase m_database;
    ContactDatabase::Settings m_settings;
    NameIndex m_names;
    NumericColumns m_numericColumns;
    qint64 m_schemaVersion = 0;
    QString m_lastError;

    SqliteStatement m_schemaVersionRead;
    SqliteStatement m_first;
    SqliteStatement m_last;
    SqliteStatement m_after;
    SqliteStatement m_before;
    SqliteStatement m_byId;
    SqliteStatement m_findFirst;
    SqliteStatement m_insert;
    SqliteStatement m_remove;
};
