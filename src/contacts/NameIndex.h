#pragma once

#include "contacts/SqliteStatement.h"

#include <QCoreApplication>
#include <QString>

class ContactDatabase;

// Finding a contact by name without reading the table, while the file stays
// a plain SQLite database that the sqlite3 shell can read and write.
//
// Find compares folded names (see nameKey()), which SQLite cannot compute:
// its NOCASE folds A to Z only. A function of our own must never appear in
// the schema (an index, trigger or default), or the shell could no longer
// write the file. So the folding happens in the store, and the schema holds
// only plain SQL:
//
//   merivo_name_on_table1       index on Table1("Name")
//   merivo_name_variant         every distinct stored name with its folded key
//                               (name PRIMARY KEY, key), indexed by key
//   merivo_name_pending         stored names not folded yet (name PRIMARY KEY)
//   merivo_name_scheme          the version of the folding the keys were made with
//   merivo_name_after_insert    triggers on Table1: a name that has no variant
//   merivo_name_after_update    yet becomes pending; a name no row carries any
//   merivo_name_after_delete    more loses its variant (and pending entry)
//
// Keys belong to names, not to rows: row ids may change (a dump and reload in
// the shell renumbers them) without touching the keys.
//
// Finding the text T: the folded key K of T gives the variants with key K;
// for each, the index on Table1("Name") gives its first row id; the pending
// names are folded on the fly (a connection function, never in the schema);
// an empty K also matches names stored as NULL. The smallest row id wins,
// which is the first matching record in view order. Finding writes nothing,
// so it works on a read-only file and never waits for a writer's lock.
//
// The store folds pending names into variants inside its own write
// transactions and when it opens a writable file, so the pending table
// stays empty unless the shell or another program wrote names meanwhile.
// When the objects are missing or differ (a file made in the shell, an older
// folding), a writable file gets them rebuilt once, keying every distinct
// name; a read-only one falls back to folding every name during Find: the
// only case that reads the whole table.
class NameIndex
{
    Q_DECLARE_TR_FUNCTIONS(NameIndex)

public:
    enum class Mode {
        Indexed,
        Scanning, // read-only file without current key tables
    };

    // Registers the folding function on the connection and makes sure the
    // key tables are present and current. False only when reading the schema
    // failed; lastError() then says why.
    bool attach(ContactDatabase &database);
    void detach();

    Mode mode() const { return m_mode; }
    QString lastError() const { return m_lastError; }

    // SQL selecting `columns` of the first row of Table1 whose name folds to
    // the key bound as ?1.
    QString findFirstSql(const QString &columns) const;

    // Moves pending names into the variants. Runs inside the caller's write
    // transaction, so the keys commit with the rows. An SQLite result code.
    int foldPending();

    // The folding version recorded with the keys.
    static QString schemeVersion();

private:
    int checkObjects(sqlite3 *db, bool &current);
    int rebuild(sqlite3 *db);
    int foldPendingAtOpen(sqlite3 *db);

    Mode m_mode = Mode::Scanning;
    QString m_lastError;
    SqliteStatement m_foldIntoVariants;
    SqliteStatement m_clearPending;
};
