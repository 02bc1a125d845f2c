#include "contacts/ContactBatch.h"

#include <QStringList>

#include <sqlite3.h>

#include <algorithm>

namespace {

// A larger page cache than a store's: the indexes on the names take random
// inserts, which would otherwise spill pages to disk before the commit.
constexpr char BatchCacheSize[] = "PRAGMA cache_size=-16384"; // 16 MiB

using FieldViews = std::array<QByteArrayView, ContactFieldCount>;

quint64 fingerprint(const FieldViews &fields)
{
    size_t hash = 0x6d657269766f; // any fixed seed: fingerprints never leave the process
    for (const QByteArrayView &field : fields)
        hash = qHash(field, hash) ^ size_t(field.size());
    return hash;
}

FieldViews viewsOf(const ContactTexts &values)
{
    FieldViews views;
    for (int i = 0; i < ContactFieldCount; ++i)
        views[i] = values[i];
    return views;
}

void bindUtf8(sqlite3_stmt *statement, int index, const QByteArray &text)
{
    // An empty text is bound as '' and never as NULL.
    sqlite3_bind_text(statement, index, text.isEmpty() ? "" : text.constData(), int(text.size()), SQLITE_STATIC);
}

} // namespace

ContactBatch::~ContactBatch()
{
    close();
}

bool ContactBatch::begin(const QString &path, const ContactDatabase::Settings &settings)
{
    close();
    m_lastError.clear();
    if (!m_database.open(path, settings)) {
        m_lastError = m_database.lastError();
        return false;
    }
    if (m_database.isReadOnly()) {
        m_lastError = tr("Could not add contacts to %1: %2.").arg(m_database.path(), m_database.readOnlyReason());
        close();
        return false;
    }
    if (!m_names.attach(m_database, NameIndex::Building::Now)) {
        m_lastError = m_names.lastError();
        close();
        return false;
    }
    if (const int rc = m_numericColumns.read(m_database.handle()); rc != SQLITE_OK) {
        fail(tr("Could not read the contact database"), rc);
        close();
        return false;
    }
    sqlite3_exec(m_database.handle(), BatchCacheSize, nullptr, nullptr, nullptr);
    m_transaction = std::make_unique<WriteTransaction>(m_database.handle());
    const int rc = m_transaction->begin();
    if (rc != SQLITE_OK) {
        fail(tr("Could not add contacts"), rc);
        close();
        return false;
    }
    if (!prepare() || !readFingerprints()) {
        close();
        return false;
    }
    return true;
}

bool ContactBatch::prepare()
{
    QStringList placeholders;
    for (int i = 0; i < ContactFieldCount; ++i)
        placeholders.append(QStringLiteral("?%1").arg(i + 1));
    const QString insert = QStringLiteral("INSERT INTO Table1 (%1) VALUES (%2)")
                               .arg(contactFieldList(), placeholders.join(QStringLiteral(", ")));
    // The name through the index of the name keys.
    QStringList equal{QStringLiteral("(lower(rtrim(\"Name\")) = lower(rtrim(?1)) AND +\"Name\" = ?1 "
                                     "OR lower(rtrim(\"Name\")) IS NULL AND ?1 = '')")};
    for (int i = 1; i < ContactFieldCount; ++i)
        equal.append(QStringLiteral("ifnull(\"%1\", '') = ?%2").arg(contactFieldNames()[i]).arg(i + 1));
    const QString findEqual =
        QStringLiteral("SELECT 1 FROM Table1 WHERE %1 LIMIT 1").arg(equal.join(QStringLiteral(" AND ")));

    int rc = m_insert.prepare(m_database.handle(), insert);
    if (rc == SQLITE_OK)
        rc = m_findEqual.prepare(m_database.handle(), findEqual);
    return rc == SQLITE_OK || fail(tr("Could not prepare adding contacts"), rc);
}

bool ContactBatch::readFingerprints()
{
    SqliteStatement all;
    int rc = all.prepare(m_database.handle(),
                         QStringLiteral("SELECT %1 FROM Table1").arg(contactFieldList()));
    if (rc != SQLITE_OK)
        return fail(tr("Could not read the stored contacts"), rc);
    sqlite3_stmt *statement = all.handle();
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        FieldViews fields;
        for (int i = 0; i < ContactFieldCount; ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            fields[i] = QByteArrayView(text, text ? sqlite3_column_bytes(statement, i) : 0);
        }
        m_stored.push_back(fingerprint(fields));
    }
    if (rc != SQLITE_DONE)
        return fail(tr("Could not read the stored contacts"), rc);
    std::sort(m_stored.begin(), m_stored.end());
    return true;
}

bool ContactBatch::isStored(const ContactTexts &values, bool &stored)
{
    StatementRun run(m_findEqual);
    for (int i = 0; i < ContactFieldCount; ++i)
        bindUtf8(m_findEqual.handle(), i + 1, values[i]);
    const int rc = run.step();
    stored = rc == SQLITE_ROW;
    return rc == SQLITE_ROW || rc == SQLITE_DONE || fail(tr("Could not compare with the stored contacts"), rc);
}

ContactBatch::Outcome ContactBatch::add(const ContactTexts &values)
{
    if (!m_transaction) {
        m_lastError = tr("Could not add the contact: no batch is under way.");
        return Outcome::Failed;
    }
    const quint64 print = fingerprint(viewsOf(values));
    if (std::binary_search(m_stored.begin(), m_stored.end(), print) || m_added.count(print)) {
        bool stored = false;
        if (!isStored(values, stored))
            return Outcome::Failed;
        if (stored)
            return Outcome::Duplicate;
    }
    int rc;
    {
        StatementRun run(m_insert);
        for (int i = 0; i < ContactFieldCount; ++i)
            bindUtf8(m_insert.handle(), i + 1, values[i]);
        rc = run.run();
    }
    const QString what = tr("Could not add the contact %1").arg(QString::fromUtf8(values[0]));
    if (rc != SQLITE_DONE) {
        fail(what, rc);
        return Outcome::Failed;
    }
    WrittenTexts written;
    std::copy(values.begin(), values.end(), written.begin());
    QString changedByColumn;
    rc = m_numericColumns.check(sqlite3_last_insert_rowid(m_database.handle()), written, changedByColumn);
    if (rc != SQLITE_OK) {
        fail(what, rc);
        return Outcome::Failed;
    }
    if (!changedByColumn.isEmpty()) {
        m_lastError = tr("%1: %2 (%3)").arg(what, changedByColumn, m_database.path());
        return Outcome::Failed;
    }
    m_added.insert(print);
    return Outcome::Added;
}

bool ContactBatch::commit()
{
    if (!m_transaction) {
        m_lastError = tr("Could not save the contacts: no batch is under way.");
        return false;
    }
    int rc = m_names.updatePendingKeys();
    if (rc == SQLITE_OK)
        rc = m_transaction->commit();
    if (rc != SQLITE_OK) {
        fail(tr("Could not save the contacts"), rc);
        close();
        return false;
    }
    close();
    return true;
}

void ContactBatch::rollback()
{
    close();
}

bool ContactBatch::fail(const QString &what, int rc)
{
    m_lastError = m_database.failure(what, rc);
    return false;
}

void ContactBatch::close()
{
    m_insert.finalize();
    m_findEqual.finalize();
    m_numericColumns.clear();
    m_transaction.reset(); // rolls back unless committed
    m_names.detach();
    m_database.close();
    m_stored.clear();
    m_stored.shrink_to_fit();
    m_added.clear();
}
