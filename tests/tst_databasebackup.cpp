// Copies of db2.mdb: made while a store has the file open, refused when
// damaged, restored in place, checked, and kept daily by the program.

#include "ContactTestTools.h"
#include "TransferTestTools.h"

#include "contacts/DatabaseBackup.h"
#include "contacts/Recordset.h"
#include "files/AtomicFile.h"
#include "shell/DailyBackup.h"
#include "tool/DatabaseCheck.h"
#include "tool/MerivoTool.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList names(const ContactList &rows)
{
    QStringList result;
    for (const ContactValues &values : rows)
        result.append(values[0]);
    return result;
}

ContactList numbered(const QString &prefix, int count)
{
    ContactList contacts;
    for (int i = 0; i < count; ++i)
        contacts.append(contact({QStringLiteral("%1 %2").arg(prefix).arg(i), QString(200, QLatin1Char('a' + i % 26))}));
    return contacts;
}

struct ToolRun
{
    int status = -1;
    QByteArray output;
    QByteArray errors;
};

ToolRun runTool(const QString &database, const QStringList &arguments)
{
    QBuffer out, errors;
    out.open(QIODevice::WriteOnly);
    errors.open(QIODevice::WriteOnly);
    const int status = MerivoTool(out, errors, database).run(arguments);
    return {status, out.data(), errors.data()};
}

// Readable and writable by its owner alone (a folder: usable by its owner alone).
bool isOwnerOnly(const QString &path)
{
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && (status.st_mode & 077) == 0;
}

// Overwrites bytes in the middle of the file, where the rows are.
bool damage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() < 8192)
        return false;
    file.seek(file.size() / 2);
    return file.write(QByteArray(4096, '\x5a')) == 4096;
}

// Breaks the free space of every other page of rows: the kind of damage
// that SQLite's integrity check lists page by page.
bool damageFreeSpace(const QString &path)
{
    // Every other leaf page of the contacts (never the schema, which another
    // table's long triggers may spread over more pages than the first).
    const ShellResult leaves =
        sqliteShell(path, QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'Table1' AND pagetype = 'leaf';"));
    QFile file(path);
    if (leaves.exitCode != 0 || !file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    int damaged = 0;
    const QStringList pages = leaves.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < pages.size(); i += 2) {
        const qsizetype page = pages[i].toLongLong() - 1;
        bytes.replace(page * pageSize + 5, 2, "\x00\x10", 2);
        bytes.replace(page * pageSize + 8, 4, "\xff\xff\xff\xff", 4);
        ++damaged;
    }
    return damaged > 1 && file.seek(0) && file.write(bytes) == bytes.size();
}

} // namespace

class TestDatabaseBackup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;

private Q_SLOTS:
    void init()
    {
        m_database = freshDatabasePath(m_dir);
        QDir().mkpath(QFileInfo(m_database).absolutePath());
    }

    void copiesWhileAStoreHoldsTheFileOpen()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Old"), 300)));
        Recordset records;
        QVERIFY(records.open(m_database));
        QVERIFY(records.MoveLast());
        QVERIFY(addContact(records, QStringLiteral("Saved by the form")));

        const QString copy = m_dir.filePath(QStringLiteral("copy.mdb"));
        QString error;
        QVERIFY2(DatabaseBackup::copy(m_database, copy, &error), qPrintable(error));
        // The form goes on working on the original.
        QVERIFY(addContact(records, QStringLiteral("After the copy")));

        QVERIFY2(DatabaseBackup::verify(copy, &error), qPrintable(error));
        const QStringList copied = names(storedContacts(copy));
        QCOMPARE(copied.size(), 301);
        QCOMPARE(copied.last(), QStringLiteral("Saved by the form"));
        QCOMPARE(storedContacts(m_database).size(), 302);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden), QStringList());
    }

    void refusesToCopyWhatIsNotAContactDatabase()
    {
        QString error;
        const QString copy = m_dir.filePath(QStringLiteral("none.mdb"));
        QVERIFY(!DatabaseBackup::copy(m_database, copy, &error));
        QVERIFY(error.contains(QStringLiteral("no contact database")));
        QVERIFY(writeFile(m_database, "just text, not a database at all"));
        QVERIFY(!DatabaseBackup::copy(m_database, copy, &error));
        QVERIFY(!QFileInfo::exists(copy));
    }

    void restoreRefusesABadCopyAndKeepsTheCurrentFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("saying");
        QTest::newRow("damaged pages") << QStringLiteral("damaged") << QStringLiteral("is damaged");
        QTest::newRow("SQLite file of another program") << QStringLiteral("foreign") << QStringLiteral("no table Table1");
        QTest::newRow("no such file") << QStringLiteral("missing") << QStringLiteral("no contact database");
        // The database itself, which a copy would have to lock against itself.
        for (const char *kind : {"hard link", "symbolic link", "another spelling"})
            QTest::newRow(kind) << QString::fromLatin1(kind) << QStringLiteral("is the same file as the contact database");
    }

    void restoreRefusesABadCopyAndKeepsTheCurrentFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, saying);
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Current"), 5)));
        QString copy = QFileInfo(m_database).absolutePath() + QStringLiteral("/copy.mdb");
        if (kind == QLatin1String("damaged")) {
            QVERIFY(storeContacts(copy, numbered(QStringLiteral("Copy"), 400)));
            QVERIFY(damage(copy));
        } else if (kind == QLatin1String("foreign")) {
            QCOMPARE(sqliteShell(copy, QStringLiteral("CREATE TABLE notes(text);")).exitCode, 0);
        } else if (kind == QLatin1String("hard link")) {
            QCOMPARE(::link(QFile::encodeName(m_database).constData(), QFile::encodeName(copy).constData()), 0);
        } else if (kind == QLatin1String("symbolic link")) {
            QVERIFY(QFile::link(m_database, copy));
        } else if (kind == QLatin1String("another spelling")) {
            const QFileInfo database(m_database);
            copy = database.absolutePath() + QStringLiteral("/../") + database.dir().dirName()
                + QStringLiteral("/./db2.mdb");
        }
        const QByteArray before = fileDigest(m_database);

        // The command refuses, naming the cause, before it touches anything.
        const ToolRun run = runTool(m_database, {QStringLiteral("restore"), copy});
        QCOMPARE(run.status, int(MerivoTool::Failure));
        QVERIFY(run.errors.startsWith("merivo-tool: Not restored: "));
        QVERIFY2(run.errors.contains(saying.toUtf8()), run.errors.constData());
        QCOMPARE(run.errors.count('\n'), 1);
        QCOMPARE(fileDigest(m_database), before);
        QVERIFY(!QFileInfo::exists(DatabaseBackup::backupFolder(m_database)));
    }

    void restoreReplacesTheContentsUnderAnOpenStore()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Current"), 5)));
        const QString copy = m_dir.filePath(QStringLiteral("good.mdb"));
        QVERIFY(storeContacts(copy, numbered(QStringLiteral("Copy"), 3)));
        Recordset records;
        QVERIFY(records.open(m_database));

        QCOMPARE(runTool(m_database, {QStringLiteral("restore"), copy}).status, int(MerivoTool::Success));
        QCOMPARE(names(storedContacts(m_database)),
                 (QStringList{QStringLiteral("Copy 0"), QStringLiteral("Copy 1"), QStringLiteral("Copy 2")}));
        // The open store reads the restored rows and can find them by name.
        QVERIFY(records.MoveFirst());
        QCOMPARE(records.currentValues()[0], QStringLiteral("Copy 0"));
        QVERIFY(records.FindFirst(QStringLiteral("Name = 'COPY 2'")));
        QVERIFY(!records.NoMatch());

        // The file as it was is kept in backups/.
        const QStringList kept =
            QDir(DatabaseBackup::backupFolder(m_database)).entryList({QStringLiteral("db2-before-restore-*.mdb")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(storedContacts(QDir(DatabaseBackup::backupFolder(m_database)).filePath(kept.first())).size(), 5);
    }

    void restoreReplacesADamagedDatabaseWhole()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Current"), 400)));
        QVERIFY(damage(m_database));
        const QByteArray damaged = fileDigest(m_database);
        const QString copy = m_dir.filePath(QStringLiteral("good2.mdb"));
        QVERIFY(storeContacts(copy, numbered(QStringLiteral("Copy"), 2)));

        QCOMPARE(runTool(m_database, {QStringLiteral("restore"), copy}).status, int(MerivoTool::Success));
        QCOMPARE(storedContacts(m_database).size(), 2);
        const QDir backups(DatabaseBackup::backupFolder(m_database));
        QCOMPARE(fileDigest(backups.filePath(backups.entryList({QStringLiteral("db2-before-restore-*")}).value(0))),
                 damaged);

        // On a new computer, where there is no database yet.
        const QString fresh = m_dir.filePath(QStringLiteral("new-computer/data/db2.mdb"));
        QCOMPARE(runTool(fresh, {QStringLiteral("restore"), copy}).status, int(MerivoTool::Success));
        QCOMPARE(storedContacts(fresh).size(), 2);
        QVERIFY(isOwnerOnly(fresh));
    }

    void restoreWritesTheFileThatALinkNames_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a sound database, written in place") << QStringLiteral("sound");
        QTest::newRow("a damaged one, replaced whole") << QStringLiteral("damaged");
        QTest::newRow("a file of another program, replaced whole") << QStringLiteral("foreign");
    }

    void restoreWritesTheFileThatALinkNames()
    {
        QFETCH(QString, kind);
        const QString real = QFileInfo(m_database).absolutePath() + QStringLiteral("/elsewhere/contacts.mdb");
        QVERIFY(QDir().mkpath(QFileInfo(real).absolutePath()));
        if (kind == QLatin1String("foreign")) {
            QVERIFY(writeFile(real, "notes of another program"));
        } else {
            QVERIFY(storeContacts(real, numbered(QStringLiteral("Current"), 400)));
            if (kind == QLatin1String("damaged"))
                QVERIFY(damage(real));
        }
        QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(QFile::link(QStringLiteral("elsewhere/contacts.mdb"), m_database));
        const QString copy = m_dir.filePath(QStringLiteral("linked-%1.mdb").arg(kind));
        QVERIFY(storeContacts(copy, numbered(QStringLiteral("Copy"), 2)));

        const ToolRun run = runTool(m_database, {QStringLiteral("restore"), copy});
        QVERIFY2(run.status == MerivoTool::Success, run.errors.constData());
        QVERIFY(QFileInfo(m_database).isSymLink());
        QCOMPARE(QFileInfo(m_database).canonicalFilePath(), QFileInfo(real).canonicalFilePath());
        QCOMPARE(names(storedContacts(real)), (QStringList{QStringLiteral("Copy 0"), QStringLiteral("Copy 1")}));
        QCOMPARE(QFile::permissions(real) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        for (const QString &folder : {QFileInfo(m_database).absolutePath(), QFileInfo(real).absolutePath()})
            QCOMPARE(QDir(folder).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden), QStringList());
    }

    void restoreIntoAWalFileThatAnotherProgramHoldsSaysSo()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Current"), 5)));
        QCOMPARE(sqliteShell(m_database, QStringLiteral("PRAGMA journal_mode=WAL;")).exitCode, 0);
        const QString copy = m_dir.filePath(QStringLiteral("small-pages.mdb"));
        QVERIFY(storeContacts(copy, numbered(QStringLiteral("Copy"), 2)));
        QCOMPARE(sqliteShell(copy, QStringLiteral("PRAGMA page_size=1024; VACUUM;")).exitCode, 0);
        sqlite3 *other = nullptr; // another program, reading the file in WAL mode
        QCOMPARE(sqlite3_open(QFile::encodeName(m_database).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "SELECT count(*) FROM Table1", nullptr, nullptr, nullptr), SQLITE_OK);
        const auto closeOther = qScopeGuard([&] { sqlite3_close(other); });

        const ToolRun run = runTool(m_database, {QStringLiteral("restore"), copy});
        QCOMPARE(run.status, int(MerivoTool::Failure));
        QVERIFY2(run.errors.contains("has it open in WAL mode") && run.errors.contains("1024 bytes")
                     && !run.errors.contains("readonly"),
                 run.errors.constData());
        QCOMPARE(storedContacts(m_database).size(), 5);

        // With the file to itself, the restore turns it back into a plain file.
        sqlite3_close(other);
        other = nullptr;
        QCOMPARE(runTool(m_database, {QStringLiteral("restore"), copy}).status, int(MerivoTool::Success));
        QCOMPARE(storedContacts(m_database).size(), 2);
    }

    void keptCopiesNeverReplaceOneAnother()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Kept"), 2)));
        // Copies kept within one second share their stamp.
        QStringList kept;
        for (int i = 0; i < 3; ++i) {
            QString error;
            const QString path = DatabaseBackup::keepCopy(m_database, QStringLiteral("2024-05-01-101010"),
                                                          DatabaseBackup::Content::Consistent, &error);
            QVERIFY2(!path.isEmpty(), qPrintable(error));
            kept.append(path);
            QVERIFY(storeContacts(m_database, {contact({QStringLiteral("Added %1").arg(i)})}));
        }
        QCOMPARE(kept.removeDuplicates(), 0);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(storedContacts(kept[i]).size(), 2 + i);
            QVERIFY(isOwnerOnly(kept[i]));
        }
        QVERIFY(isOwnerOnly(DatabaseBackup::backupFolder(m_database)));

        // A copy made elsewhere after the look and before the rename is not
        // replaced either.
        const QString daily = DailyBackup::copyPath(m_database, QDate(2024, 5, 1));
        AtomicFile late(daily, AtomicFile::Existing::Keep);
        QVERIFY(late.open());
        QVERIFY(writeFile(daily, "made by the program started meanwhile"));
        late.device()->write("late copy");
        QVERIFY(!late.commit());
        QVERIFY(late.alreadyExists());
        QCOMPARE(readFile(daily), QByteArray("made by the program started meanwhile"));

        // Nor does a copy on request go over one.
        QString error;
        const QByteArray before = fileDigest(kept[0]);
        QVERIFY(!DatabaseBackup::copy(m_database, kept[0], &error));
        QVERIFY2(error.contains(QStringLiteral("never writes over")), qPrintable(error));
        QCOMPARE(fileDigest(kept[0]), before);
    }

    void checkCountsAndFindsDamage()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Row"), 400)
                                              + ContactList{contact({QString()}), contact({QStringLiteral("ΣΊΣΥΦΟΣ")})}));
        DatabaseCheck check;
        QVERIFY2(check.run(m_database), qPrintable(check.problem()));
        QVERIFY(check.report().contains(QStringLiteral("Contacts: 402 (without a name: 1).")));
        QVERIFY(check.report().contains(QStringLiteral("Name keys: up to date.")));

        // Keys removed behind the store's back.
        QCOMPARE(sqliteShell(m_database, QStringLiteral("DELETE FROM merivo_name_variant;")).exitCode, 0);
        QVERIFY(!check.run(m_database));
        QVERIFY2(check.problem().contains(QStringLiteral("1 names have no name key")), qPrintable(check.problem()));

        // A damaged file: the first problem, and how many more.
        QVERIFY(damageFreeSpace(m_database));
        QVERIFY(!check.run(m_database));
        const QRegularExpression firstAndMore(QStringLiteral(" is damaged: .+ \\(and \\d+ more problems\\)$"));
        QVERIFY2(check.problem().contains(firstAndMore), qPrintable(check.problem()));
        QVERIFY2(check.problem().size() < 500 && !check.problem().contains(QLatin1Char('\n')), qPrintable(check.problem()));
    }

    void keepsOneCopyADayAndTheLastSeven()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Day"), 3)));
        const QDir backups(DatabaseBackup::backupFolder(m_database));
        QVERIFY(QDir().mkpath(backups.path()));
        QVERIFY(writeFile(backups.filePath(QStringLiteral("db2-2023-12-31-101010.mdb")), "made on request"));

        const QDate first(2024, 1, 1);
        for (int day = 0; day < 9; ++day) {
            QCOMPARE(DailyBackup::makeCopy(m_database, first.addDays(day)), DailyBackup::Outcome::Copied);
            QCOMPARE(DailyBackup::makeCopy(m_database, first.addDays(day)), DailyBackup::Outcome::AlreadyThere);
        }
        QStringList expected;
        for (int day = 2; day < 9; ++day)
            expected.append(QFileInfo(DailyBackup::copyPath(m_database, first.addDays(day))).fileName());
        expected.prepend(QStringLiteral("db2-2023-12-31-101010.mdb"));
        QCOMPARE(backups.entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(storedContacts(backups.filePath(expected.last())).size(), 3);
    }

    void aCopyDatedInTheFutureNeverPushesOutTodays()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Day"), 3)));
        const QDir backups(DatabaseBackup::backupFolder(m_database));
        QVERIFY(QDir().mkpath(backups.path()));
        const QDate today(2024, 1, 10);
        QStringList future, past;
        for (int day = 1; day <= 8; ++day) {
            future.append(QFileInfo(DailyBackup::copyPath(m_database, today.addYears(1).addDays(day))).fileName());
            past.append(QFileInfo(DailyBackup::copyPath(m_database, today.addDays(-day))).fileName());
        }
        for (const QString &name : future + past)
            QVERIFY(writeFile(backups.filePath(name), "an older copy"));

        QCOMPARE(DailyBackup::makeCopy(m_database, today), DailyBackup::Outcome::Copied);
        QCOMPARE(storedContacts(DailyBackup::copyPath(m_database, today)).size(), 3);
        // Today's and the six days before; those made while the clock was
        // ahead wait for their day.
        QStringList expected = future + past.mid(0, DailyBackup::Kept - 1);
        expected.append(QFileInfo(DailyBackup::copyPath(m_database, today)).fileName());
        expected.sort();
        QCOMPARE(backups.entryList(QDir::Files, QDir::Name), expected);
    }

    void partFilesOfCopiesCutShortAreRemoved()
    {
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Part"), 2)));
        const QDir backups(DatabaseBackup::backupFolder(m_database));
        QVERIFY(QDir().mkpath(backups.path()));
        const auto part = [&](const char *name, bool old) {
            const QString path = backups.filePath(QString::fromLatin1(name));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(4096, 'x')) != 4096 || !file.flush())
                return QString();
            if (old)
                file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
            return path;
        };
        const QString killed = part(".db2-2024-01-01.mdb-Ab12Cd.part", true);
        const QString killedToo = part(".db2-before-restore-2024-01-01-101010.mdb-Xy98Zw.part", true);
        const QString beingWritten = part(".db2-2024-01-02.mdb-Fresh1.part", false);
        const QString held = part(".db2-2024-01-03.mdb-Held12.part", true);
        const QString notOurs = part("download.part", true);
        QFile holder(held); // a writer still at work holds its lock
        QVERIFY(holder.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(holder.handle(), LOCK_EX), 0);

        QCOMPARE(DailyBackup::makeCopy(m_database, QDate(2024, 1, 4)), DailyBackup::Outcome::Copied);
        QVERIFY(!QFileInfo::exists(killed));
        QVERIFY(!QFileInfo::exists(killedToo));
        for (const QString &path : {beingWritten, held, notOurs})
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    }

    void theDailyCopyRunsOffTheEventLoopAndSkipsWhatIsNotOurs()
    {
        const QDate today(2024, 5, 1);
        {
            DailyBackup nothing(m_database, today);
            QSignalSpy finished(&nothing, &DailyBackup::finished);
            QVERIFY(finished.wait(10000));
            QCOMPARE(finished.first().first().value<DailyBackup::Outcome>(), DailyBackup::Outcome::NothingToCopy);
        }
        QVERIFY(!QFileInfo::exists(DatabaseBackup::backupFolder(m_database)));

        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Async"), 2)));
        Recordset records; // the program's form has the file open meanwhile
        QVERIFY(records.open(m_database));
        DailyBackup backup(m_database, today);
        QVERIFY(!QFileInfo::exists(DailyBackup::copyPath(m_database, today))); // not before the event loop runs
        QSignalSpy finished(&backup, &DailyBackup::finished);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().value<DailyBackup::Outcome>(), DailyBackup::Outcome::Copied);
        QCOMPARE(storedContacts(DailyBackup::copyPath(m_database, today)).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseBackup)
#include "tst_databasebackup.moc"
