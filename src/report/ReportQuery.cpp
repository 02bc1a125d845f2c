#include "ReportQuery.h"

#include "ReportDefinition.h"
#include "contacts/SqliteConnection.h"
#include "contacts/SqliteStatement.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <sqlite3.h>

namespace {

constexpr int BusyTimeoutMs = 2000;
constexpr const char *OrderCollation = "merivo_report_order";

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString columnText(sqlite3_stmt *statement, int column)
{
    // UTF-16 straight from SQLite: no second conversion.
    const void *text = sqlite3_column_text16(statement, column);
    if (!text)
        return QString();
    return QString(static_cast<const QChar *>(text), sqlite3_column_bytes16(statement, column) / 2);
}

// The collator of the user's language; the plain "C" language has none, and
// then the common order of the alphabets is used.
QCollator orderCollator(bool caseSensitive)
{
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator(locale);
    collator.setCaseSensitivity(caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    return collator;
}

int compareInOrder(void *collator, int leftBytes, const void *left, int rightBytes, const void *right)
{
    return static_cast<const QCollator *>(collator)->compare(
        QStringView(static_cast<const QChar *>(left), leftBytes / 2),
        QStringView(static_cast<const QChar *>(right), rightBytes / 2));
}

// The fields of a table as it stores them.
struct TableFields
{
    QStringList names; // empty: no such table
    QString error;     // reading them failed

    // The stored spelling of `field`, matched as SQL matches names (letter
    // case aside), or an empty text when the table lacks it.
    QString stored(const QString &field) const
    {
        for (const QString &name : names) {
            if (name.compare(field, Qt::CaseInsensitive) == 0)
                return name;
        }
        return QString();
    }
};

TableFields tableFields(sqlite3 *db, const QString &table)
{
    TableFields fields;
    SqliteStatement info;
    if (info.prepare(db, QStringLiteral("PRAGMA table_info(%1)").arg(quotedName(table))) != SQLITE_OK) {
        fields.error = QString::fromUtf8(sqlite3_errmsg(db));
        return fields;
    }
    int rc;
    while ((rc = sqlite3_step(info.handle())) == SQLITE_ROW)
        fields.names.append(columnText(info.handle(), 1));
    if (rc != SQLITE_DONE)
        fields.error = QString::fromUtf8(sqlite3_errmsg(db));
    return fields;
}

} // namespace

ReportQuery::Result ReportQuery::run(const ReportDefinition &definition)
{
    const QString database = QDir::toNativeSeparators(definition.databasePath);
    const QString definitionFile = QDir::toNativeSeparators(definition.path);
    const auto failure = [&](const QString &problem) {
        return Result{nullptr, tr("The database %1 named in the report definition %2 cannot be read: %3.")
                                   .arg(database, definitionFile, problem)};
    };

    if (!QFileInfo(definition.databasePath).isFile())
        return failure(tr("the file does not exist"));

    // Declared before the connection, which uses it until it closes.
    const QCollator collator = orderCollator(definition.sortCaseSensitive);
    SqliteConnection connection;
    // Read-only: the report never writes, and a file it cannot write is still read.
    if (connection.open(definition.databasePath, SQLITE_OPEN_READONLY | SQLITE_OPEN_PRIVATECACHE, BusyTimeoutMs)
        != SQLITE_OK) {
        return failure(connection.errorText());
    }

    const TableFields fields = tableFields(connection.handle(), definition.table);
    if (!fields.error.isEmpty())
        return failure(fields.error);
    if (fields.names.isEmpty())
        return failure(tr("it has no table \"%1\"").arg(definition.table));
    QStringList wanted = definition.fields();
    if (!definition.sortField.isEmpty())
        wanted.append(definition.sortField);
    QStringList stored;
    for (const QString &field : std::as_const(wanted)) {
        stored.append(fields.stored(field));
        if (stored.constLast().isEmpty())
            return failure(tr("the table \"%1\" has no field \"%2\"").arg(definition.table, field));
    }

    if (sqlite3_create_collation_v2(connection.handle(), OrderCollation, SQLITE_UTF16_ALIGNED,
                                    const_cast<QCollator *>(&collator), compareInOrder, nullptr)
        != SQLITE_OK) {
        return failure(connection.errorText());
    }

    QStringList selected;
    for (qsizetype i = 0; i < definition.columns.size(); ++i)
        selected.append(quotedName(stored[i]));
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(selected.join(QStringLiteral(", ")),
                                                          quotedName(definition.table));
    if (!definition.sortField.isEmpty()) {
        sql += QStringLiteral(" ORDER BY %1 COLLATE %2, rowid")
                   .arg(quotedName(stored.constLast()), QLatin1String(OrderCollation));
    } else {
        sql += QStringLiteral(" ORDER BY rowid");
    }

    SqliteStatement select;
    if (select.prepare(connection.handle(), sql) != SQLITE_OK)
        return failure(connection.errorText());

    const int columns = int(definition.columns.size());
    auto rows = std::make_shared<ReportRows>(columns);
    int rc;
    while ((rc = sqlite3_step(select.handle())) == SQLITE_ROW) {
        for (int column = 0; column < columns; ++column)
            rows->append(columnText(select.handle(), column));
    }
    if (rc != SQLITE_DONE)
        return failure(connection.errorText());
    return {rows, QString()};
}
