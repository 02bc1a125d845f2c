#include "ReportQuery.h"

#include "ReportDefinition.h"

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

// Closes the connection however the query ends.
struct Connection
{
    sqlite3 *db = nullptr;
    ~Connection() { sqlite3_close_v2(db); }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
};

struct Statement
{
    sqlite3_stmt *statement = nullptr;
    ~Statement() { sqlite3_finalize(statement); }
};

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
    Statement info;
    const QString sql = QStringLiteral("PRAGMA table_info(%1)").arg(quotedName(table));
    if (sqlite3_prepare16_v2(db, sql.utf16(), -1, &info.statement, nullptr) != SQLITE_OK) {
        fields.error = QString::fromUtf8(sqlite3_errmsg(db));
        return fields;
    }
    int rc;
    while ((rc = sqlite3_step(info.statement)) == SQLITE_ROW)
        fields.names.append(columnText(info.statement, 1));
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
    Connection connection;
    // Read-only: the report never writes, and a file it cannot write is still read.
    if (sqlite3_open_v2(definition.databasePath.toUtf8().constData(), &connection.db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_PRIVATECACHE, nullptr)
        != SQLITE_OK) {
        return failure(connection.db ? connection.error() : tr("out of memory"));
    }
    sqlite3_busy_timeout(connection.db, BusyTimeoutMs);

    const TableFields fields = tableFields(connection.db, definition.table);
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

    if (sqlite3_create_collation_v2(connection.db, OrderCollation, SQLITE_UTF16_ALIGNED,
                                    const_cast<QCollator *>(&collator), compareInOrder, nullptr)
        != SQLITE_OK) {
        return failure(connection.error());
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

    Statement select;
    if (sqlite3_prepare16_v2(connection.db, sql.utf16(), -1, &select.statement, nullptr) != SQLITE_OK)
        return failure(connection.error());

    const int columns = int(definition.columns.size());
    auto rows = std::make_shared<ReportRows>(columns);
    int rc;
    while ((rc = sqlite3_step(select.statement)) == SQLITE_ROW) {
        for (int column = 0; column < columns; ++column)
            rows->append(columnText(select.statement, column));
    }
    if (rc != SQLITE_DONE)
        return failure(connection.error());
    return {rows, QString()};
}
