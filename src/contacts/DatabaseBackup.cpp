#include "contacts/DatabaseBackup.h"

#include "contacts/ContactFileCheck.h"
#include "contacts/ProtectedFiles.h"
#include "contacts/SqliteConnection.h"
#include "files/AtomicFile.h"
#include "files/FileIdentity.h"
#include "files/PrivateFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QThread>

#include <sqlite3.h>

#include <unistd.h>

#include <functional>

namespace {

// Pages copied per step while making a copy: between two steps the source
// is not locked, so the program's own saves get their turn.
constexpr int PagesPerStep = 1024;

// Problems of a damaged file counted at most, and the length at which the
// first one is cut in a message.
constexpr int MostProblems = 10000;
constexpr qsizetype ProblemLength = 300;

// Names tried for a kept copy before giving up: the stamp, then stamp-2 ...
constexpr int MostNamesPerStamp = 1000;

bool setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool mayWrite(const QString &path, int how)
{
    return ::access(QFile::encodeName(path).constData(), how) == 0;
}

// Why a write to the database at path was refused as read-only, in the
// words of the cause: SQLite's own text ("attempt to write a readonly
// database") says the same for a file that may be written in a folder
// that may not, for a file moved away meanwhile, and more.
QString readOnlyCause(int rc, const QString &path)
{
    switch (rc) {
    case SQLITE_READONLY_DIRECTORY:
        break; // the folder, as writeProblem() says
    case SQLITE_READONLY_DBMOVED:
        return DatabaseBackup::tr("the file was moved or deleted while it was being written");
    case SQLITE_READONLY_ROLLBACK:
        return DatabaseBackup::tr("a change to it was cut short, and only a program that may write it can undo that");
    case SQLITE_READONLY_CANTINIT:
    case SQLITE_READONLY_CANTLOCK:
    case SQLITE_READONLY_RECOVERY:
        return DatabaseBackup::tr("it is in WAL mode, and its shared-memory file %1-shm cannot be made or written")
            .arg(resolvedPath(path));
    default:
        break;
    }
    const QString problem = DatabaseBackup::writeProblem(path);
    return problem.isEmpty() ? DatabaseBackup::tr("SQLite could open it for reading only") : problem;
}

// A connection to the source or the target of a copy, telling its
// failures in the words of a copy.
struct Connection
{
    SqliteConnection sqlite;
    QString path;

    int open(const QString &file, int flags)
    {
        path = file;
        return sqlite.open(file, flags, DatabaseBackup::BusyTimeoutMs);
    }
    sqlite3 *db() const { return sqlite.handle(); }
    QString message(int rc) const
    {
        switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DatabaseBackup::tr("the database is locked by another program");
        case SQLITE_READONLY:
            return readOnlyCause(rc, path);
        default:
            return sqlite.reason(rc);
        }
    }
    // The first column of the first row of a query, or an empty text.
    QByteArray single(const char *sql) const
    {
        sqlite3_stmt *statement = nullptr;
        QByteArray result;
        if (sqlite3_prepare_v2(db(), sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            result = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return result;
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

// Fills the file at path, a new empty file, with the pages of from.
bool backupInto(sqlite3 *from, const QString &path, const QString &target, QString *error)
{
    Connection to;
    int rc = to.open(path, SQLITE_OPEN_READWRITE);
    if (rc == SQLITE_OK) {
        // The file is not in use yet and is flushed once complete: no
        // journal and no syncing while it is written.
        to.sqlite.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
        rc = runBackup(from, to.db(), PagesPerStep);
    }
    if (rc != SQLITE_OK)
        return setError(error, DatabaseBackup::tr("Could not write %1: %2").arg(target, to.message(rc)));
    return true;
}

bool copyBytes(const QString &source, QIODevice &out, const QString &target, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return setError(error, DatabaseBackup::tr("Could not read %1: %2").arg(source, in.errorString()));
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (out.write(block) != block.size())
            return setError(error, DatabaseBackup::tr("Could not write %1: %2").arg(target, out.errorString()));
    }
    if (in.error() != QFileDevice::NoError)
        return setError(error, DatabaseBackup::tr("Could not read %1: %2").arg(source, in.errorString()));
    return true;
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

// Makes the folder a file goes into (such as backups/) when it is not there.
bool makeFolderFor(const QString &target, QString *error)
{
    const QString folder = QFileInfo(resolvedPath(target)).absolutePath();
    return makePrivateFolder(folder) || setError(error, DatabaseBackup::tr("Could not create the folder %1.").arg(folder));
}

bool writeCopy(const QString &source, const QString &target, DatabaseBackup::Content content,
               AtomicFile::Existing existing, QString *error, bool *wasThere = nullptr)
{
    if (content == DatabaseBackup::Content::Consistent) {
        if (!checkSource(source, error))
            return false;
    } else if (!QFileInfo(source).isFile()) {
        return setError(error, DatabaseBackup::tr("There is no file at %1.").arg(source));
    }
    if (existing == AtomicFile::Existing::Keep && QFileInfo::exists(target)) {
        if (wasThere)
            *wasThere = true;
        return setError(error, DatabaseBackup::tr("Could not write %1: a file is already there.").arg(target));
    }
    const QString refusal = ProtectedFiles(source).refusal(target);
    if (!refusal.isEmpty())
        return setError(error, refusal);
    if (const QFileInfo there(resolvedPath(target)); there.exists() && !there.isFile())
        return setError(error, DatabaseBackup::tr("Could not write %1: it is not a plain file.").arg(target));
    if (!makeFolderFor(target, error))
        return false;

    AtomicFile file(target, existing);
    bool written = file.open();
    if (written && content == DatabaseBackup::Content::Consistent) {
        Connection from;
        const int rc = openSource(from, source);
        if (rc != SQLITE_OK)
            return setError(error, DatabaseBackup::tr("Could not read %1: %2").arg(source, from.message(rc)));
        if (!backupInto(from.db(), file.writePath(), target, error))
            return false;
    } else if (written && !copyBytes(source, *file.device(), target, error)) {
        return false;
    }
    written = written && file.commit();
    if (wasThere)
        *wasThere = file.alreadyExists();
    return written || setError(error, DatabaseBackup::tr("Could not write %1: %2").arg(target, file.errorString()));
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
    return writeCopy(source, target, Content::Consistent, AtomicFile::Existing::Replace, error);
}

bool DatabaseBackup::copyNew(const QString &source, const QString &target, QString *error, bool *wasThere)
{
    AtomicFile::removeStaleParts(QFileInfo(target).absolutePath());
    return writeCopy(source, target, Content::Consistent, AtomicFile::Existing::Keep, error, wasThere);
}

QString DatabaseBackup::keepCopy(const QString &source, const QString &stamp, Content content, QString *error)
{
    AtomicFile::removeStaleParts(backupFolder(source));
    for (int n = 1; n <= MostNamesPerStamp; ++n) {
        const QString path = backupPath(source, n == 1 ? stamp : QStringLiteral("%1-%2").arg(stamp).arg(n));
        bool wasThere = false;
        if (writeCopy(source, path, content, AtomicFile::Existing::Keep, error, &wasThere))
            return path;
        if (!wasThere)
            return QString();
    }
    setError(error, tr("Could not keep a copy in %1: every name for the stamp %2 is taken.")
                        .arg(backupFolder(source), stamp));
    return QString();
}

bool DatabaseBackup::verify(const QString &path, QString *problem)
{
    if (!checkSource(path, problem))
        return false;
    Connection db;
    int rc = openSource(db, path);
    if (rc != SQLITE_OK)
        return setError(problem, tr("Could not read %1: %2").arg(path, db.message(rc)));

    // One row per problem, except that the pages of one table come as one
    // row of many lines.
    QStringList problems;
    sqlite3_stmt *check = nullptr;
    rc = sqlite3_prepare_v2(db.db(), QByteArray("PRAGMA integrity_check(" + QByteArray::number(MostProblems) + ')'), -1,
                            &check, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(check)) == SQLITE_ROW) {
        rc = SQLITE_OK;
        const QString text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(check, 0)));
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line != QLatin1String("ok") && !line.startsWith(QLatin1String("*** ")))
                problems.append(line.trimmed());
        }
    }
    sqlite3_finalize(check);
    if (problems.isEmpty() && rc != SQLITE_DONE) // the check itself stumbled over the damage
        problems.append(db.message(rc));
    if (problems.isEmpty())
        return true;
    QString first = problems.constFirst();
    if (first.size() > ProblemLength)
        first = first.left(ProblemLength) + QChar(0x2026);
    if (problems.size() == 1)
        return setError(problem, tr("%1 is damaged: %2").arg(path, first));
    if (problems.size() == 2)
        return setError(problem, tr("%1 is damaged: %2 (and 1 more problem)").arg(path, first));
    return setError(problem,
                    tr("%1 is damaged: %2 (and %3 more problems)").arg(path, first, QString::number(problems.size() - 1)));
}

QString DatabaseBackup::writeProblem(const QString &target)
{
    const QString file = resolvedPath(target);
    if (QFileInfo::exists(file) && !mayWrite(file, W_OK))
        return tr("the file %1 may not be written").arg(file);
    const QString folder = QFileInfo(file).absolutePath();
    if (QFileInfo(folder).isDir() && !mayWrite(folder, W_OK | X_OK))
        return tr("its folder %1 may not be written, and SQLite keeps a journal there while it writes").arg(folder);
    return QString();
}

QString DatabaseBackup::sameFileProblem(const QString &source, const QString &target)
{
    if (!ProtectedFiles(target).isDatabase(source))
        return QString();
    return tr("%1 is the same file as the contact database %2: there is nothing to restore.").arg(source, target);
}

bool DatabaseBackup::replaceContents(const QString &source, const QString &target, QString *error)
{
    if (const QString problem = sameFileProblem(source, target); !problem.isEmpty())
        return setError(error, problem);
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
            to.sqlite.exec("PRAGMA synchronous=FULL");
            // In WAL mode the page size is fixed; the rollback journal lets
            // the copy bring its own, which needs nobody else to have the
            // file open.
            if (to.single("PRAGMA journal_mode") == "wal")
                to.sqlite.exec("PRAGMA journal_mode=DELETE");
            const QByteArray pageSize = from.single("PRAGMA page_size");
            const QByteArray targetPageSize = to.single("PRAGMA page_size");
            if (to.single("PRAGMA journal_mode") == "wal" && pageSize != targetPageSize) {
                return setError(error, tr("Could not write %1: another program has it open in WAL mode, in which its "
                                          "pages stay of %2 bytes, and those of the copy are of %3 bytes. Close the "
                                          "programs that use it, Merivo too, and restore again.")
                                           .arg(target, QString::fromLatin1(targetPageSize),
                                                QString::fromLatin1(pageSize)));
            }
            rc = runBackup(from.db(), to.db(), -1);
        }
        if (rc == SQLITE_OK)
            return true;
        const int primary = rc & 0xff;
        if (primary != SQLITE_CORRUPT && primary != SQLITE_NOTADB)
            return setError(error, tr("Could not write %1: %2").arg(target, to.message(rc)));
        // Too damaged to be written page by page: replaced as a whole below.
    }

    if (!makeFolderFor(target, error))
        return false;
    AtomicFile file(target);
    if (file.open()) {
        if (!backupInto(from.db(), file.writePath(), target, error))
            return false;
        // What SQLite kept beside the old file would be played back into the new one.
        for (const QString &companion : ProtectedFiles::companions(file.finalPath()))
            QFile::remove(companion);
    }
    return file.commit() || setError(error, tr("Could not write %1: %2").arg(target, file.errorString()));
}
