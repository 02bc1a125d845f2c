#pragma once

// Helpers shared by the contact store tests: the sqlite3 shell as an outside
// program writing the same file, and file fingerprints.

#include "contacts/Recordset.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

struct ShellResult
{
    int exitCode = -1;
    QString output;
    QString errors;
};

inline bool haveSqliteShell()
{
    return !QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty();
}

// Runs SQL (or dot-commands) through the sqlite3 shell on a file.
inline ShellResult sqliteShell(const QString &path, const QString &sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), path});
    shell.write(sql.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(30000);
    return {shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1,
            QString::fromUtf8(shell.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(shell.readAllStandardError()).trimmed()};
}

inline QString sqlText(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// INSERT statements giving each name one contact, Address "<name> street".
inline QString insertNamesSql(const QStringList &names)
{
    QString sql;
    for (const QString &name : names) {
        sql += QStringLiteral("INSERT INTO Table1(\"Name\", \"Address\") VALUES (%1, %2);\n")
                   .arg(sqlText(name), sqlText(name + QStringLiteral(" street")));
    }
    return sql;
}

inline QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// The names of the rows of Table1 in view order, read by the shell.
inline QStringList storedNames(const QString &path)
{
    const ShellResult result = sqliteShell(path, QStringLiteral("SELECT \"Name\" FROM Table1 ORDER BY rowid;"));
    return result.output.isEmpty() ? QStringList() : result.output.split(QLatin1Char('\n'));
}

// Adds one contact through the store, all eight fields "<name>/<field number>"
// except the name itself.
inline bool addContact(Recordset &records, const QString &name)
{
    if (!records.AddNew())
        return false;
    records.setValue(ContactField::Name, name);
    for (int i = 1; i < ContactFieldCount; ++i)
        records.setValue(static_cast<ContactField>(i), QStringLiteral("%1/%2").arg(name).arg(i));
    return records.Update();
}
