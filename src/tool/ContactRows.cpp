#include "tool/ContactRows.h"

#include <QStringList>

#include <sqlite3.h>

bool ContactRows::open(const QString &path)
{
    m_lastError.clear();
    ContactDatabase::Settings settings;
    settings.readOnly = true;
    if (!m_database.open(path, settings)) {
        m_lastError = m_database.lastError();
        return false;
    }
    QStringList columns;
    for (const QString &name : contactFieldNames())
        columns.append(QLatin1Char('"') + name + QLatin1Char('"'));
    const int rc = m_rows.prepare(
        m_database.handle(),
        QStringLiteral("SELECT %1, rowid FROM Table1 ORDER BY rowid").arg(columns.join(QStringLiteral(", "))));
    if (rc != SQLITE_OK) {
        m_lastError = m_database.failure(tr("Could not read the contacts"), rc);
        return false;
    }
    return true;
}

bool ContactRows::next()
{
    sqlite3_stmt *statement = m_rows.handle();
    if (!statement)
        return false;
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
        for (int i = 0; i < ContactFieldCount; ++i) {
            // Text and BLOBs as their bytes, unconverted; numbers as text.
            const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            m_fields[i] = QByteArrayView(bytes, bytes ? sqlite3_column_bytes(statement, i) : 0);
        }
        m_rowId = sqlite3_column_int64(statement, ContactFieldCount);
        return true;
    }
    if (rc != SQLITE_DONE)
        m_lastError = m_database.failure(tr("Could not read the contacts"), rc);
    m_rows.finalize();
    return false;
}
