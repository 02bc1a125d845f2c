#pragma once

// Helpers shared by the contact store tests: the sqlite3 shell as an outside
// program writing the same file, and file fingerprints.

#include "contacts/NameKeyTables.h"
#include "contacts/Recordset.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <set>

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

// A database path of its own for every test and data row, in a folder
// that does not exist yet.
inline QString freshDatabasePath(const QTemporaryDir &dir)
{
    static int count = 0;
    return dir.filePath(QStringLiteral("data%1/db2.mdb").arg(++count));
}

// Runs SQL on a file through SQLite's C interface, as another program
// would; the file and its folder are made when missing. Empty when it went
// well, else why.
inline QString execSql(const QString &path, const QString &sql)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    char *error = nullptr;
    sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString why = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    return why;
}

// The eight fields of Table1, quoted, without declared types.
inline const QString EightFields = QStringLiteral(
    "\"Name\", \"Address\", \"Phone Number\", \"Position\", \"Office address\", "
    "\"Office Phone Number\", \"Email Address\", \"Website Address\"");

// Table1 as another program makes it: the eight fields, no declared types.
inline QString untypedTableSql()
{
    return QStringLiteral("CREATE TABLE Table1(%1);").arg(EightFields);
}

// A sqlite3 shell killed in the middle of a large transaction: a journal
// that still holds the pages to put back, and half-written pages.
inline void killShellMidTransaction(const QString &path, const QString &sqlBefore = QString())
{
    QProcess writer;
    writer.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), path});
    writer.write(QStringLiteral("PRAGMA cache_size = 10; BEGIN;\n%1\n"
                                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)\n"
                                "  INSERT INTO Table1(\"Name\", \"Address\") SELECT 'Half ' || i, printf('%.200c', 'x') FROM n;\n"
                                "SELECT 'inserted';\n")
                     .arg(sqlBefore)
                     .toUtf8());
    QVERIFY(writer.waitForReadyRead(30000));
    QVERIFY(QFile::exists(path + QStringLiteral("-journal")));
    writer.kill();
    QVERIFY(writer.waitForFinished());
}

// Another program's connection holding the file's lock: exclusive, or
// only the right to write next, which lets others go on reading.
struct LockingConnection
{
    sqlite3 *db = nullptr;

    bool lock(const QString &path, const char *begin = "BEGIN EXCLUSIVE")
    {
        return sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
            && sqlite3_exec(db, begin, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    void release()
    {
        sqlite3_close_v2(db); // rolls back
        db = nullptr;
    }
    ~LockingConnection() { release(); }
};

inline ContactDatabase::Settings readOnlySettings()
{
    ContactDatabase::Settings settings;
    settings.readOnly = true;
    return settings;
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

// Adds one contact through the store.
inline bool addContact(Recordset &records, const ContactValues &values)
{
    if (!records.AddNew())
        return false;
    for (int i = 0; i < ContactFieldCount; ++i)
        records.setValue(static_cast<ContactField>(i), values[i]);
    return records.Update();
}

// A contact whose fields are "<name>/<field number>", but for the name itself.
inline ContactValues numberedFields(const QString &name)
{
    ContactValues values{name};
    for (int i = 1; i < ContactFieldCount; ++i)
        values[i] = QStringLiteral("%1/%2").arg(name).arg(i);
    return values;
}

inline bool addContact(Recordset &records, const QString &name)
{
    return addContact(records, numberedFields(name));
}

// Every row of a query, exactly as stored.
inline QList<QList<StoredValue>> storedRows(sqlite3 *db, const char *sql)
{
    QList<QList<StoredValue>> rows;
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QList<StoredValue> row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            row.append(StoredValue::fromColumn(statement, i));
        rows.append(row);
    }
    sqlite3_finalize(statement);
    return rows;
}

// Every row of Table1 exactly as stored, in view order.
inline QList<StoredRecord> storedRecords(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QList<StoredRecord> records;
    for (const QList<StoredValue> &row : storedRows(db, "SELECT * FROM Table1 ORDER BY rowid")) {
        StoredRecord record;
        std::copy(row.begin(), row.end(), record.begin());
        records.append(record);
    }
    sqlite3_close(db);
    return records;
}

// What is wrong with the name keys of a file whose keys are made: every
// stored name that needs a variant has it unless it is pending, and every
// variant belongs to a stored or pending name and has its key's hash. An
// empty text when nothing is, or the keys are not made yet.
inline QString nameKeyProblem(sqlite3 *db)
{
    NameKeyTables::State state;
    if (NameKeyTables::readState(db, state) != SQLITE_OK || state != NameKeyTables::State::Current)
        return QString();
    const auto identity = [](const StoredValue &value) { return char(value.type()) + value.bytes(); };
    std::set<QByteArray> pending;
    for (const auto &row : storedRows(db, "SELECT name FROM merivo_name_pending"))
        pending.insert(identity(row[0]));
    std::set<QByteArray> stored;
    std::set<std::pair<qint64, QByteArray>> variants;
    for (const auto &row : storedRows(db, "SELECT hash, name FROM merivo_name_variant")) {
        const std::optional<qint32> hash = NameKeyTables::variantHash(row[1]);
        if (!hash || *hash != row[0].text().toLongLong())
            return QStringLiteral("the variant %1 has a wrong hash").arg(row[1].text());
        variants.insert({*hash, identity(row[1])});
    }
    for (const auto &row : storedRows(db, "SELECT DISTINCT \"Name\" FROM Table1")) {
        stored.insert(identity(row[0]));
        const std::optional<qint32> hash = NameKeyTables::variantHash(row[0]);
        if (hash && !variants.count({*hash, identity(row[0])}) && !pending.count(identity(row[0])))
            return QStringLiteral("the name %1 has no variant").arg(row[0].text());
    }
    for (const auto &[hash, name] : variants) {
        if (!stored.count(name) && !pending.count(name))
            return QStringLiteral("a variant of a name no longer stored is left: %1").arg(QString::fromUtf8(name.mid(1)));
    }
    return QString();
}
