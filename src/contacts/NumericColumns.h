#pragma once

#include "contacts/ContactRecord.h"
#include "contacts/SqliteStatement.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <array>
#include <optional>

struct sqlite3;

// The UTF-8 texts of the fields one write stored; the others are unset.
using WrittenTexts = std::array<std::optional<QByteArray>, ContactFieldCount>;

// The columns of Table1 whose declared type makes SQLite change a text on
// its way in: a column of INTEGER, REAL or NUMERIC affinity (declared
// INTEGER, NUMBER, DECIMAL, FLOAT, DATE...) stores "+4930 1234" as it is,
// but "+49301234" as 49301234, "007" as 7 and "1e3" as 1000. Merivo makes
// its own Table1 of text columns; a table made by another tool may have
// such columns. A write is then checked: a text the column changed is not
// stored, and the message names the column and what became of the text.
// merivo-tool convert-columns turns such columns into ones that keep every
// value as given.
class NumericColumns
{
    Q_DECLARE_TR_FUNCTIONS(NumericColumns)

public:
    struct Column
    {
        int field = 0;
        QString declaredType;
    };

    // Reads the declared types of Table1 on the connection.
    int read(sqlite3 *db);
    // Before the connection closes.
    void clear();
    bool isEmpty() const { return m_columns.isEmpty(); }
    const QList<Column> &columns() const { return m_columns; }

    // Within the write that stored the row `rowid`: why a written text is not
    // stored as written, or an empty text when every one is.
    int check(qint64 rowid, const WrittenTexts &written, QString &problem);

    // Whether a column declared `type` has numeric affinity, by SQLite's rules.
    static bool isNumericType(const QString &type);
    // How to make every column keep what is written.
    static QString remedy();

private:
    QList<Column> m_columns;
    SqliteStatement m_read;
};
