#pragma once

#include "contacts/SqliteStatement.h"
#include "contacts/StoredValue.h"

#include <QCoreApplication>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class ContactDatabase;
class NameKeyBuilder;
class NameKeyWriter;

// Finding a contact by name without reading the table, while the file stays
// a plain SQLite database that the sqlite3 shell can read and write.
//
// Find compares folded names (see nameKey()), which SQLite cannot compute:
// its lower() folds A to Z only. A function of our own must never appear in
// the schema (an index, trigger or default), or the shell could no longer
// write the file. So the schema holds only plain SQL:
//
//   merivo_name_folded        index on Table1(lower(rtrim("Name"))): for most
//                             names (every one of plain ASCII, and every one
//                             already in small letters) that is the key
//   merivo_name_variant       the other names, with a hash of their keys
//                             (hash, name), ordered by hash
//   merivo_name_pending       names not looked at since they were written
//   merivo_name_scheme        the version of the folding the keys follow
//   merivo_name_after_insert  triggers on Table1: a name that is not plain
//   merivo_name_after_update  printable ASCII becomes pending when it is
//   merivo_name_after_delete  written or removed
//
// Keys belong to names, not to rows: row ids may change (a dump and reload in
// the shell renumbers them) without touching the keys. The variants take
// space only for the names that need them, and a hash instead of a copy of
// their keys; the hash and the index only narrow the search, every name
// found is folded again and compared with the real key.
//
// Finding the text T with the key K: the rows whose lower(rtrim("Name")) is
// K, through the index; the variants with K's hash, and their rows through
// the index; the pending names, folded on the fly (a connection function,
// never in the schema); NULL names when K is empty. The smallest row id
// wins, which is the first matching record in view order. Finding writes
// nothing, so it works on a read-only file and never waits for a writer.
//
// The store brings the keys of the names it writes up to date in the same
// transaction, so the pending table stays empty unless another program
// wrote names. A file without current keys (made in the shell, restored
// from an older copy) gets them made by a NameKeyBuilder, in the
// background, while Find folds every name that is not plain ASCII as it
// reads: slower, never wrong. (A file of a few megabytes gets them at once:
// that takes milliseconds.) A file that may not be written is always read
// that way.
class NameIndex
{
    Q_DECLARE_TR_FUNCTIONS(NameIndex)

public:
    enum class Mode {
        Indexed,
        Scanning, // keys not made yet, or a read-only file without them
    };
    enum class Building {
        InBackground, // a window's store: the form shows at once
        Now,          // a command: the keys are made before attach() returns
    };

    NameIndex();
    ~NameIndex();
    NameIndex(const NameIndex &) = delete;
    NameIndex &operator=(const NameIndex &) = delete;

    // Registers the folding function on the connection and looks at the key
    // tables; when they are not current and the file may be written, makes
    // them as asked. False only when reading the schema failed; lastError()
    // then says why. Called again after the schema changed.
    bool attach(ContactDatabase &database, Building building = Building::InBackground);
    void detach();

    Mode mode() const { return m_mode; }
    QString lastError() const { return m_lastError; }
    // Waits for keys being made in the background; true when there are none
    // to wait for. The store notices new keys at its next call.
    bool waitForKeys(int timeoutMs);

    // SQL selecting `columns` of the first row of Table1 whose name folds to
    // the text bound by bindFind().
    QString findFirstSql(const QString &columns) const;
    static void bindFind(StatementRun &run, const QString &name);

    // Within the caller's write transaction, so that the keys commit with the
    // rows: brings the keys of these names, just written or removed, up to
    // date; or those of every pending name. SQLite result codes.
    int updateKeys(const std::vector<StoredValue> &names);
    int updatePendingKeys();

    // How many names Find could not find through the keys (neither keyed nor
    // pending); nothing when the keys are not current or could not be read.
    static std::optional<qint64> unkeyedNames(sqlite3 *db);

private:
    std::unique_ptr<NameKeyWriter> m_writer;
    std::shared_ptr<NameKeyBuilder> m_builder;
    Mode m_mode = Mode::Scanning;
    QString m_lastError;
};
