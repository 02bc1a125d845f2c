#pragma once

#include <QCoreApplication>
#include <QString>

struct sqlite3;

// Looks at a path before the store opens it, without writing a byte: a file
// that is not a Merivo contact database must stay exactly as it was. Only
// its header is read until it shows an SQLite file; then a read-only
// connection looks for Table1 and its eight fields.
class ContactFileCheck
{
    Q_DECLARE_TR_FUNCTIONS(ContactFileCheck)

public:
    enum class Verdict {
        Missing,    // nothing there yet: create it
        Empty,      // a file of 0 bytes, which SQLite treats as an empty database
        Contacts,   // an SQLite file with Table1 as it should be
        Unfinished, // a change cut short by a crash must be undone before it can be read
        Refused,    // not ours, or unreadable; message says why
    };

    struct Result
    {
        Verdict verdict = Verdict::Refused;
        QString message;
    };

    static Result inspect(const QString &path, int busyTimeoutMs);

    // What is wrong with Table1 on an open connection, or an empty text when
    // it is a table with row ids and exactly the eight contact fields (in any
    // order). A failed read is reported too; sqliteCode then tells which.
    static QString tableProblem(sqlite3 *db, const QString &path, int *sqliteCode = nullptr);
};
