#include "contacts/NumericColumns.h"

#include "contacts/StoredValue.h"

#include <QStringList>

#include <sqlite3.h>

#include <algorithm>

bool NumericColumns::isNumericType(const QString &type)
{
    // SQLite's affinity rules, in their order: INT gives INTEGER; CHAR, CLOB
    // or TEXT give TEXT; BLOB or no type give BLOB, which keeps values as
    // given; anything else is REAL or NUMERIC.
    const QString upper = type.toUpper();
    if (upper.contains(QLatin1String("INT")))
        return true;
    for (const char *text : {"CHAR", "CLOB", "TEXT", "BLOB"}) {
        if (upper.contains(QLatin1String(text)))
            return false;
    }
    return !upper.trimmed().isEmpty();
}

QString NumericColumns::remedy()
{
    return tr("\"merivo-tool convert-columns\" keeps a copy of the database, then makes every column keep what is "
              "written into it");
}

void NumericColumns::clear()
{
    m_columns.clear();
    m_read.finalize();
}

int NumericColumns::read(sqlite3 *db)
{
    clear();
    SqliteStatement types;
    int rc = types.prepare(db, QStringLiteral("SELECT name, type FROM pragma_table_xinfo('Table1')"));
    if (rc != SQLITE_OK)
        return rc;
    StatementRun run(types);
    while ((rc = run.step()) == SQLITE_ROW) {
        const auto &names = contactFieldNames();
        const auto found = std::find(names.begin(), names.end(), run.textAt(0));
        if (found != names.end() && isNumericType(run.textAt(1)))
            m_columns.append({int(found - names.begin()), run.textAt(1)});
    }
    if (rc != SQLITE_DONE)
        return rc;
    if (m_columns.isEmpty())
        return SQLITE_OK;
    QStringList selected;
    for (const Column &column : m_columns)
        selected.append(QLatin1Char('"') + contactFieldNames()[column.field] + QLatin1Char('"'));
    return m_read.prepare(db, QStringLiteral("SELECT %1 FROM Table1 WHERE rowid = ?1").arg(selected.join(u',')));
}

int NumericColumns::check(qint64 rowid, const WrittenTexts &written, QString &problem)
{
    problem.clear();
    if (std::none_of(m_columns.begin(), m_columns.end(), [&](const Column &c) { return written[c.field].has_value(); }))
        return SQLITE_OK;
    StatementRun run(m_read);
    run.bind(1, rowid);
    const int rc = run.step();
    if (rc != SQLITE_ROW)
        return rc == SQLITE_DONE ? SQLITE_NOTFOUND : rc;
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column &column = m_columns.at(i);
        const std::optional<QByteArray> &text = written[column.field];
        if (!text)
            continue;
        const StoredValue stored = StoredValue::fromColumn(run.handle(), i);
        if (stored == StoredValue::fromUtf8(*text))
            continue;
        problem = tr("the field \"%1\" would hold %2 instead of \"%3\": Table1 declares that column %4, and SQLite "
                     "turns a text that looks like a number into a number in such a column. %5")
                      .arg(contactFieldNames()[column.field], stored.text(), QString::fromUtf8(*text),
                           column.declaredType, remedy());
        return SQLITE_OK;
    }
    return SQLITE_OK;
}
