#include "contacts/ContactFileCheck.h"

#include "contacts/ContactRecord.h"
#include "contacts/LegacyDatabaseFile.h"
#include "contacts/SqliteConnection.h"
#include "contacts/SqliteStatement.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <algorithm>

#include <sqlite3.h>

namespace {

constexpr char SqliteMagic[] = "SQLite format 3"; // followed by a NUL byte: 16 bytes in all
constexpr int SqliteHeaderSize = 100;
constexpr unsigned char JournalMagic[] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};

// A rollback journal beside the file that still holds the pages to put
// back: a change was cut short, possibly while the file was being created,
// when its first page may not even carry SQLite's header yet.
bool hasHotJournal(const QString &path)
{
    QFile journal(path + QStringLiteral("-journal"));
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    return journal.read(sizeof JournalMagic) == QByteArray(reinterpret_cast<const char *>(JournalMagic), sizeof JournalMagic);
}

// The header says the file was last written in WAL mode (bytes 18 and 19).
bool isWalFile(const QByteArray &head)
{
    return head.size() >= 20 && head.at(18) == 2 && head.at(19) == 2;
}

QString quotedList(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted.append(QLatin1Char('"') + name + QLatin1Char('"'));
    return quoted.join(QStringLiteral(", "));
}

} // namespace

ContactFileCheck::Result ContactFileCheck::inspect(const QString &path, int busyTimeoutMs)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {Verdict::Missing, QString()};
    if (info.isDir())
        return {Verdict::Refused, tr("%1 is a folder, not a contact database file.").arg(path)};
    // Reading a pipe would wait for a writer forever; a device has no end.
    if (!info.isFile()) {
        return {Verdict::Refused,
                tr("%1 is not a plain file (it is a device, a pipe or a socket), so it cannot be a contact database.")
                    .arg(path)};
    }
    if (info.size() == 0)
        return {Verdict::Empty, QString()};

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Verdict::Refused, tr("Could not read the contact database %1: %2").arg(path, file.errorString())};
    const QByteArray head = file.read(qMax<qint64>(SqliteHeaderSize, LegacyDatabaseFile::SignatureLength));
    file.close();
    if (head.left(16) != QByteArray(SqliteMagic, sizeof SqliteMagic)) {
        if (hasHotJournal(path))
            return {Verdict::Unfinished, QString()};
        if (LegacyDatabaseFile::hasSignature(head)) {
            return {Verdict::Refused,
                    tr("%1 is the database of an older address book, not a Merivo contact database; it was left "
                       "untouched. Its contacts can be imported: move it elsewhere and run \"merivo-tool import\" "
                       "on it.")
                        .arg(path)};
        }
        return {Verdict::Refused,
                tr("%1 is not a Merivo contact database: it is not an SQLite database file.").arg(path)};
    }

    // A reader of a file in WAL mode makes a -shm and a -wal file beside it
    // that only a writer removes. With no -wal file there, the file itself
    // holds everything, and reading it as unchangeable leaves nothing behind.
    QByteArray name = QFile::encodeName(path);
    int flags = SQLITE_OPEN_READONLY;
    if (isWalFile(head) && !QFileInfo::exists(path + QStringLiteral("-wal"))) {
        name = QUrl::fromLocalFile(path).toEncoded() + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    SqliteConnection connection;
    int rc = connection.open(name, flags, busyTimeoutMs);
    if (rc != SQLITE_OK)
        return {Verdict::Refused, tr("Could not read the contact database %1: %2").arg(path, connection.reason(rc))};
    const QString problem = tableProblem(connection.handle(), path, &rc);
    connection.close();

    // A hot journal left by a crash can only be rolled back by a writer: the
    // store's own connection does that, and checks Table1 again afterwards.
    if (rc == SQLITE_READONLY_ROLLBACK)
        return {Verdict::Unfinished, QString()};
    if (!problem.isEmpty())
        return {Verdict::Refused, problem};
    return {Verdict::Contacts, QString()};
}

QString ContactFileCheck::tableProblem(sqlite3 *db, const QString &path, int *sqliteCode)
{
    int rc = SQLITE_OK;
    const auto readFailed = [&]() {
        if (sqliteCode)
            *sqliteCode = rc;
        return tr("Could not read the contact database %1: %2").arg(path, SqliteConnection::reason(rc, db));
    };
    const QString notOurs = tr("%1 is not a Merivo contact database: %2").arg(path);

    SqliteStatement kind;
    rc = kind.prepare(db, QStringLiteral("SELECT type, sql FROM sqlite_schema WHERE name = 'Table1' COLLATE NOCASE"));
    if (rc != SQLITE_OK)
        return readFailed();
    {
        StatementRun run(kind);
        rc = run.step();
        if (rc == SQLITE_DONE)
            return notOurs.arg(tr("it has no table Table1."));
        if (rc != SQLITE_ROW)
            return readFailed();
        if (run.textAt(0) != QLatin1String("table"))
            return notOurs.arg(tr("Table1 is a %1, not a table.").arg(run.textAt(0)));
        if (run.textAt(1).startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            return notOurs.arg(tr("Table1 is a virtual table."));
    }

    // table_xinfo also lists generated columns, which would be fields too.
    SqliteStatement columns;
    rc = columns.prepare(db, QStringLiteral("SELECT name FROM pragma_table_xinfo('Table1')"));
    if (rc != SQLITE_OK)
        return readFailed();
    QStringList found;
    {
        StatementRun run(columns);
        while ((rc = run.step()) == SQLITE_ROW)
            found.append(run.textAt(0));
        if (rc != SQLITE_DONE)
            return readFailed();
    }
    QStringList missing;
    for (const QString &name : contactFieldNames()) {
        if (!found.contains(name))
            missing.append(name);
    }
    QStringList unknown;
    for (const QString &name : found) {
        if (std::find(contactFieldNames().begin(), contactFieldNames().end(), name) == contactFieldNames().end())
            unknown.append(name);
    }
    if (!missing.isEmpty() || !unknown.isEmpty()) {
        QStringList wrong;
        if (!missing.isEmpty())
            wrong.append(tr("Table1 lacks the fields %1").arg(quotedList(missing)));
        if (!unknown.isEmpty())
            wrong.append(tr("Table1 has fields that a contact does not have: %1").arg(quotedList(unknown)));
        return notOurs.arg(wrong.join(QStringLiteral("; ")) + QLatin1Char('.'));
    }

    // Positions in the view are row ids; a table without them cannot serve.
    SqliteStatement rowids;
    rc = rowids.prepare(db, QStringLiteral("SELECT rowid FROM Table1 LIMIT 0"));
    if (rc != SQLITE_OK) {
        if (sqliteCode)
            *sqliteCode = SQLITE_OK;
        return notOurs.arg(tr("Table1 has no row ids."));
    }
    if (sqliteCode)
        *sqliteCode = SQLITE_OK;
    return QString();
}
