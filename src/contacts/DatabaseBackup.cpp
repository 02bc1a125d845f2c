#include "contacts/DatabaseBackup.h"

#include "contacts/ContactFileCheck.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace {

// Pages copied per step while making a copy: between two steps the source
// is not locked, so the program's own saves get their turn.
constexpr int PagesPerStep = 1024;

struct Connection
{
    sqlite3 *db = nullptr;

    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { close(); }

    int open(const QString &path, int flags)
    {
        close();
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
        if (db) {
            sqlite3_extended_result_codes(db, 1);
            sqlite3_busy_timeout(db, DatabaseBackup::BusyTimeoutMs);
        }
        return rc;
    }
    void close()
    {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    QString message(int rc) const
    {
        switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DatabaseBackup::tr("the database is locked by another program");
        case SQLITE_FULL:
            return DatabaseBackup::tr("the disk is full");
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return DatabaseBackup::tr("the database file is damaged");
        default:
            return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        }
    }
};

// Opens a source for reading: read-write when allowed, so that a journal
// left by a crash is rolled back first instead of making the read fail.
int openSource(Connection &connection, const QString &path)
{
    int rc = connection.open(path, SQLITE_OPEN_READWRITE);
    if (rc != SQLITE_OK)
        rc = connection.open(path, SQLITE_OPEN_READONLY);
    return rc;
}

// Copies every page of from into to. When another connection writes to the
// source between two steps SQLite starts the copy over, which is what keeps
// it consistent. A lock is waited for while it lasts less than the timeout.
int runBackup(sqlite3 *from, sqlite3 *to, int pagesPerStep)
{
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        return sqlite3_extended_errcode(to);
    QElapsedTimer blocked;
    blocked.start();
    int rc;
    for (;;) {
        rc = sqlite3_backup_step(backup, pagesPerStep);
        if (rc == SQLITE_OK) {
            blocked.restart();
            continue;
        }
        const int primary = rc & 0xff;
        if ((primary == SQLITE_BUSY || primary == SQLITE_LOCKED) && blocked.elapsed() < DatabaseBackup::BusyTimeoutMs) {
            QThread::msleep(20);
            continue;
        }
        break;
    }
    const int finished = sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? finished : rc;
}

bool flushToDisk(const QString &path, int extraFlags = 0)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | extraFlags);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Writes target through a file of another name in the same folder, which
// fill() writes; it then goes to disk and is renamed over target, so that
// target is at every moment either as it was or complete.
bool writeAtomically(const QString &target, const std::function<bool(const QString &, QString *)> &fill,
                     QString *error)
{
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return setError(error, DatabaseBackup::tr("Could not create the folder %1.").arg(folder));
    QTemporaryFile temporary(QDir(folder).filePath(QStringLiteral(".%1-XXXXXX.part").arg(info.fileName())));
    if (!temporary.open()) {
        return setError(error,
                        DatabaseBackup::tr("Could not write in the folder %1: %2").arg(folder, temporary.errorString()));
    }
    temporary.close();
    if (info.exists())
        QFile::setPermissions(temporary.fileName(), QFile::permissions(target));

    if (!fill(temporary.fileName(), error))
        return false;
    if (!flushToDisk(temporary.fileName()))
        return setError(error, DatabaseBackup::tr("Could not write %1 to disk.").arg(target));
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return setError(error, DatabaseBackup::tr("Could not replace %1.").arg(target));
    temporary.setAutoRemove(false);
    flushToDisk(folder, O_DIRECTORY); // makes the rename itself durable
    return true;
}

// Fills the file at path, a new empty file, with the pages of from.
bool backupInto(sqlite3 *from, const QString &path, const QString &target, QString *error)
{
    Connection to;
    int rc = to.open(path, SQLITE_OPEN_READWRITE);
    if (rc == SQLITE_OK) {
        // The file is not in use yet and is flushed once complete: no
        // journal and no syncing while it is written.
        sqlite3_exec(to.db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
        rc = runBackup(from, to.db, PagesPerStep);
    }
    if (rc != SQLITE_OK)
        return setError(error, DatabaseBackup::tr("Could not write %1: %2").arg(target, to.message(rc)));
    return true;
}

bool sameFile(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

// The source of a copy must be one of our databases. One that a crash left
// with a change to undo is fine: the copy's connection undoes it first.
bool checkSource(const QString &source, QString *error)
{
    const ContactFileCheck::Result look = ContactFileCheck::inspect(source, DatabaseBackup::BusyTimeoutMs);
    if (look.verdict == ContactFileCheck::Verdict::Missing)
        return setError(error, DatabaseBackup::tr("There is no contact database at %1.").arg(source));
    if (look.verdict == ContactFileCheck::Verdict::Empty)
        return setError(error, DatabaseBackup::tr("The contact database %1 is an empty file.").arg(source));
    if (look.verdict == ContactFileCheck::Verdict::Refused)
        return setError(error, look.message);
    return true;
}

} // namespace

QString DatabaseBackup::backupFolder(const QString &databasePath)
{
    return QDir(QFileInfo(databasePath).absolutePath()).filePath(QStringLiteral("backups"));
}

QString DatabaseBackup::backupPath(const QString &databasePath, const QString &stamp)
{
    const QFileInfo database(databasePath);
    const QString suffix = database.suffix().isEmpty() ? QString() : QLatin1Char('.') + database.suffix();
    return QDir(backupFolder(databasePath)).filePath(database.completeBaseName() + QLatin1Char('-') + stamp + suffix);
}

bool DatabaseBackup::copy(const QString &source, const QString &target, QString *error)
{
    if (!checkSource(source, error))
        return false;
    if (sameFile(source, target))
        return setError(error, tr("%1 is the database itself.").arg(target));
    Connection from;
    const int rc = openSource(from, source);
    if (rc != SQLITE_OK)
        return setError(error, tr("Could not read %1: %2").arg(source, from.message(rc)));
    return writeAtomically(
        target, [&](const QString &path, QString *failure) { return backupInto(from.db, path, target, failure); },
        error);
}

bool DatabaseBackup::copyFile(const QString &source, const QString &target, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return setError(error, tr("Could not read %1: %2").arg(source, in.errorString()));
    return writeAtomically(
        target,
        [&](const QString &path, QString *failure) {
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return setError(failure, tr("Could not write %1: %2").arg(target, out.errorString()));
            QByteArray block;
            while (!(block = in.read(1 << 20)).isEmpty()) {
                if (out.write(block) != block.size())
                    return setError(failure, tr("Could not write %1: %2").arg(target, out.errorString()));
            }
            if (in.error() != QFileDevice::NoError)
                return setError(failure, tr("Could not read %1: %2").arg(source, in.errorString()));
            return true;
        },
        error);
}

bool DatabaseBackup::verify(const QString &path, QString *problem)
{
    if (!checkSource(path, problem))
        return false;
    Connection db;
    int rc = openSource(db, path);
    if (rc != SQLITE_OK)
        return setError(problem, tr("Could not read %1: %2").arg(path, db.message(rc)));
    sqlite3_stmt *check = nullptr;
    rc = sqlite3_prepare_v2(db.db, "PRAGMA integrity_check", -1, &check, nullptr);
    QString first;
    if (rc == SQLITE_OK) {
        if ((rc = sqlite3_step(check)) == SQLITE_ROW) {
            first = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(check, 0)));
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(check);
    if (rc != SQLITE_OK)
        return setError(problem, tr("%1 is damaged: %2").arg(path, db.message(rc)));
    if (first != QLatin1String("ok"))
        return setError(problem, tr("%1 is damaged: %2").arg(path, first));
    return true;
}

bool DatabaseBackup::replaceContents(const QString &source, const QString &target, QString *error)
{
    if (sameFile(source, target))
        return setError(error, tr("%1 is the database itself.").arg(source));
    Connection from;
    int rc = from.open(source, SQLITE_OPEN_READONLY);
    if (rc != SQLITE_OK)
        return setError(error, tr("Could not read %1: %2").arg(source, from.message(rc)));

    const ContactFileCheck::Verdict verdict = ContactFileCheck::inspect(target, BusyTimeoutMs).verdict;
    if (verdict != ContactFileCheck::Verdict::Missing && verdict != ContactFileCheck::Verdict::Empty
        && verdict != ContactFileCheck::Verdict::Refused) {
        // One write transaction on the live file, journalled like every save
        // (a change a crash cut short is undone first).
        Connection to;
        rc = to.open(target, SQLITE_OPEN_READWRITE);
        if (rc == SQLITE_OK) {
            sqlite3_exec(to.db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
            rc = runBackup(from.db, to.db, -1);
        }
        if (rc == SQLITE_OK)
            return true;
        const int primary = rc & 0xff;
        if (primary != SQLITE_CORRUPT && primary != SQLITE_NOTADB)
            return setError(error, tr("Could not write %1: %2").arg(target, to.message(rc)));
        // Too damaged to be written page by page: replaced as a whole below.
    }
    return writeAtomically(
        target,
        [&](const QString &path, QString *failure) {
            if (!backupInto(from.db, path, target, failure))
                return false;
            // A journal left beside the old file would be played back into
            // the new one.
            QFile::remove(target + QStringLiteral("-journal"));
            return true;
        },
        error);
}
