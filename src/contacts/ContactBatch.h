#pragma once

#include "contacts/ContactDatabase.h"
#include "contacts/ContactRecord.h"
#include "contacts/NameIndex.h"
#include "contacts/NumericColumns.h"
#include "contacts/SqliteStatement.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <array>
#include <memory>
#include <unordered_set>
#include <vector>

// The eight fields of one contact as UTF-8, the form in which files are
// read and written, so that texts go between a file and SQLite unconverted.
using ContactTexts = std::array<QByteArray, ContactFieldCount>;

// Many contacts added to Table1 in one write transaction: all of them or,
// after rollback() or a failure, none. Each add is one run of a prepared
// statement; the name keys of the new rows are made at commit(), in the same
// transaction, so every added contact is found by name afterwards.
//
// A contact equal in all eight fields to a row already stored (or added
// earlier in the batch) is an exact duplicate and is not added. A text that
// a column's declared type would change (see NumericColumns) fails the add. The stored
// rows are read once, into 64-bit fingerprints; only a matching fingerprint
// costs a look-up (by the index of the name keys) to confirm the match.
class ContactBatch
{
    Q_DECLARE_TR_FUNCTIONS(ContactBatch)

public:
    enum class Outcome { Added, Duplicate, Failed };

    ContactBatch() = default;
    ~ContactBatch();
    ContactBatch(const ContactBatch &) = delete;
    ContactBatch &operator=(const ContactBatch &) = delete;

    // Opens the contact database at path (created when missing) and begins
    // the transaction. Another program's write lock is waited for up to the
    // busy timeout.
    bool begin(const QString &path, const ContactDatabase::Settings &settings = {});
    // Values must be valid UTF-8.
    Outcome add(const ContactTexts &values);
    bool commit();
    // Drops everything added since begin(). Also what happens when the batch
    // is destroyed uncommitted.
    void rollback();

    QString lastError() const { return m_lastError; }

private:
    bool prepare();
    bool readFingerprints();
    bool isStored(const ContactTexts &values, bool &stored);
    bool fail(const QString &what, int rc);
    void close();

    ContactDatabase m_database;
    NameIndex m_names;
    NumericColumns m_numericColumns;
    std::unique_ptr<WriteTransaction> m_transaction;
    SqliteStatement m_insert;
    SqliteStatement m_findEqual;
    std::vector<quint64> m_stored; // sorted fingerprints of the rows there before
    std::unordered_set<quint64> m_added;
    QString m_lastError;
};
