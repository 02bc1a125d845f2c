#include "ReportQuery.h"

#include "ReportDefinition.h"
#include "contacts/SqliteConnection.h"
#include "contacts/SqliteStatement.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QtConcurrent>

#include <algorithm>
#include <numeric>

#include <sqlite3.h>

namespace {

constexpr int BusyTimeoutMs = 2000;

QByteArrayView columnUtf8(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(statement, column)) : QByteArrayView();
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
    if (info.prepare(db, QStringLiteral("PRAGMA table_info(%1)").arg(quotedSqlName(table))) != SQLITE_OK) {
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

// The values rows sort by, and the order they put the rows in: by a
// collation key made once for each value, on other threads while the rows
// are still being read, a piece of them at a time; the keys sorted on two
// threads. Values alike keep their order.
class SortValues
{
public:
    explicit SortValues(bool caseSensitive)
        : m_caseSensitive(caseSensitive)
    {
    }

    void append(QByteArrayView value)
    {
        m_piece.starts.push_back(m_piece.text.size());
        m_piece.text.append(value);
        if (m_piece.starts.size() == ValuesInPiece)
            makeKeys();
    }

    std::vector<quint32> order()
    {
        makeKeys();
        std::vector<QCollatorSortKey> keys;
        for (QFuture<std::vector<QCollatorSortKey>> &piece : m_keys) {
            std::vector<QCollatorSortKey> made = piece.takeResult();
            keys.insert(keys.end(), std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
        }
        m_keys.clear();

        std::vector<quint32> order(keys.size());
        std::iota(order.begin(), order.end(), 0u);
        const auto before = [&keys](quint32 a, quint32 b) { return keys[a].compare(keys[b]) < 0; };
        const auto middle = order.begin() + qsizetype(order.size() / 2);
        QFuture<void> secondHalf = QtConcurrent::run([&] { std::stable_sort(middle, order.end(), before); });
        std::stable_sort(order.begin(), middle, before);
        secondHalf.waitForFinished();
        std::inplace_merge(order.begin(), middle, order.end(), before);
        return order;
    }

private:
    static constexpr size_t ValuesInPiece = 16384;

    // Values one after the other, as UTF-8.
    struct Piece
    {
        QByteArray text;
        std::vector<qsizetype> starts;
    };

    void makeKeys()
    {
        if (m_piece.starts.empty())
            return;
        m_keys.push_back(QtConcurrent::run(
            [caseSensitive = m_caseSensitive](const Piece &piece) {
                // A collator for each piece: a collator is not shared between threads.
                const QCollator collator = orderCollator(caseSensitive);
                std::vector<QCollatorSortKey> keys;
                keys.reserve(piece.starts.size());
                QString value;
                for (size_t i = 0; i < piece.starts.size(); ++i) {
                    const qsizetype end = i + 1 < piece.starts.size() ? piece.starts[i + 1] : piece.text.size();
                    value = QString::fromUtf8(QByteArrayView(piece.text).sliced(piece.starts[i], end - piece.starts[i]));
                    keys.push_back(collator.sortKey(value));
                }
                return keys;
            },
            std::exchange(m_piece, Piece())));
    }

    bool m_caseSensitive;
    Piece m_piece;
    std::vector<QFuture<std::vector<QCollatorSortKey>>> m_keys;
};

} // namespace

ReportQuery::Result ReportQuery::run(const ReportDefinition &definition, ReportProgress &progress)
{
    const QString database = QDir::toNativeSeparators(definition.databasePath);
    const QString definitionFile = QDir::toNativeSeparators(definition.path);
    const auto failure = [&](const QString &problem) {
        return Result{nullptr, tr("The database %1 named in the report definition %2 cannot be read: %3.")
                                   .arg(database, definitionFile, problem)};
    };

    if (!QFileInfo(definition.databasePath).isFile())
        return failure(tr("the file does not exist"));

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

    QStringList selected;
    for (qsizetype i = 0; i < definition.columns.size(); ++i)
        selected.append(quotedSqlName(stored[i]));
    const bool sorted = !definition.sortField.isEmpty();
    if (sorted)
        selected.append(quotedSqlName(stored.constLast()));
    const QString from = QStringLiteral(" FROM %1").arg(quotedSqlName(definition.table));

    // One read transaction: the count and the rows are of the same table.
    if (connection.exec("BEGIN") != SQLITE_OK)
        return failure(connection.errorText());
    qint64 total = 0;
    {
        SqliteStatement count;
        if (count.prepare(connection.handle(), QStringLiteral("SELECT count(*)") + from) != SQLITE_OK
            || sqlite3_step(count.handle()) != SQLITE_ROW) {
            return failure(connection.errorText());
        }
        total = sqlite3_column_int64(count.handle(), 0);
    }

    SqliteStatement select;
    if (select.prepare(connection.handle(),
                       QStringLiteral("SELECT ") + selected.join(QStringLiteral(", ")) + from
                           + QStringLiteral(" ORDER BY rowid"))
        != SQLITE_OK) {
        return failure(connection.errorText());
    }

    // The rows in the table's order, and the values they sort by.
    const int columns = int(definition.columns.size());
    auto rows = std::make_shared<ReportRows>(columns);
    SortValues values(definition.sortCaseSensitive);
    qint64 done = 0;
    int rc;
    while ((rc = sqlite3_step(select.handle())) == SQLITE_ROW) {
        for (int column = 0; column < columns; ++column)
            rows->appendUtf8(columnUtf8(select.handle(), column));
        if (sorted)
            values.append(columnUtf8(select.handle(), columns));
        if ((++done & 1023) == 0 && !progress.advance(ReportProgress::Stage::Reading, done, total))
            return {nullptr, QString(), true};
    }
    if (rc != SQLITE_DONE)
        return failure(connection.errorText());
    select.finalize();
    connection.exec("COMMIT");
    if (!rows->error().isEmpty())
        return failure(rows->error());

    if (sorted) {
        if (!progress.advance(ReportProgress::Stage::Sorting, 0, 1))
            return {nullptr, QString(), true};
        rows->setOrder(values.order());
    }
    return {rows, QString()};
}
