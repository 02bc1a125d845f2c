#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// merivo-tool convert-columns: for a Table1 that another tool made with
// columns of numeric type (see NumericColumns), in which Merivo refuses to
// store a text such as "007" that SQLite would turn into a number.
//
// It keeps a copy of the database in backups/ first; then, in one
// transaction, it makes Table1 anew with columns of no declared type, which
// keep every value exactly as it is written (text, number, BLOB or NULL),
// copies every row with its row id, so that the contacts keep their order,
// and makes the table's indexes and triggers again. Every stored value stays
// exactly as it was; a number already made of a text stays that number.
class ColumnConversion
{
    Q_DECLARE_TR_FUNCTIONS(ColumnConversion)

public:
    // The copy is kept under DatabaseBackup::keepCopy(path, stamp).
    bool run(const QString &path, const QString &stamp);
    QStringList report() const { return m_report; }
    QString problem() const { return m_problem; }

private:
    QStringList m_report;
    QString m_problem;
};
