#pragma once

#include "contacts/SqliteStatement.h"
#include "contacts/StoredValue.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

struct sqlite3;

// The tables and triggers behind Find by name (see NameIndex), and the
// steps that make and keep them.
namespace NameKeyTables {

enum class State {
    Current,  // every object there, made with the folding of this version
    Building, // triggers and empty tables made; index and keys to come
    Other,    // missing, partly there, or of another version
};

int readState(sqlite3 *db, State &state);
QString schemeVersion();

// What Find needs to know about a stored name beyond the index: nothing for
// one whose key is lower(rtrim(name)) as SQLite computes it (a name of plain
// ASCII always is); the hash of its key for any other, a variant.
std::optional<qint32> variantHash(const StoredValue &name);
qint32 keyHash(const QString &key);
// A name the triggers make pending: not plain printable ASCII, or a BLOB.
bool needsLook(const StoredValue &name);
// The same test in SQL, for the expression `value`.
QString needsLookSql(const QString &value);

struct Variant
{
    qint32 hash = 0;
    StoredValue name;
};

// The steps of making the keys (NameKeyBuilder), in this order, each but
// the second in a write transaction of the caller's.
//  1. Drops whatever is there under our names and makes the triggers and
//     the empty tables: from now on, every name written becomes pending.
int prepare(sqlite3 *db);
//  2. Reads the names that are there, in short reads, and finds the variants.
int collectVariants(sqlite3 *db, std::vector<Variant> &variants, const std::function<bool()> &stopped);
//  3. Makes the index.
int makeIndex(sqlite3 *db);
//  4. Stores the variants in the order of their table, and records the
//     version: the keys are current.
int storeVariants(sqlite3 *db, std::vector<Variant> &variants);

} // namespace NameKeyTables

// Keeps the keys of names up to date on one connection, within the
// caller's write transaction.
class NameKeyWriter
{
public:
    int prepare(sqlite3 *db);
    // The name was just written or removed: it becomes a variant, stays
    // one, or stops being one, and is no longer pending.
    int update(const StoredValue &name);
    // Up to `most` pending names; `done` says how many were looked at.
    int updatePending(int most, int &done);

private:
    SqliteStatement m_exists;
    SqliteStatement m_addVariant;
    SqliteStatement m_dropVariant;
    SqliteStatement m_unpend;
    SqliteStatement m_pending;
};
