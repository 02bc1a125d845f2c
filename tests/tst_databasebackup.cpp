// Copies of db2.mdb: made while a store has the file open, refused when
// damaged, restored in place, checked, and kept daily by the program.

#include "ContactTestTools.h"
#include "TransferTestTools.h"

#include "contacts/DatabaseBackup.h"
#include "contacts/Recordset.h"
#include "shell/DailyBackup.h"
#include "tool/DatabaseCheck.h"
#include "tool/MerivoTool.h"

#include <QBuffer>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

// Overwrites bytes in the middle of the file, where the rows are.
bool damage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() < 8192)
        return false;
    file.seek(file.size() / 2);
    return file.write(QByteArray(4096, '\x5a')) == 4096;
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
        static int count = 0;
        m_database = m_dir.filePath(QStringLiteral("data%1/db2.mdb").arg(++count));
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
    }

    void restoreRefusesABadCopyAndKeepsTheCurrentFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, saying);
        QVERIFY(storeContacts(m_database, numbered(QStringLiteral("Current"), 5)));
        const QString copy = QFileInfo(m_database).absolutePath() + QStringLiteral("/copy.mdb");
        if (kind == QLatin1String("damaged")) {
            QVERIFY(storeContacts(copy, numbered(QStringLiteral("Copy"), 400)));
            QVERIFY(damage(copy));
        } else if (kind == QLatin1String("foreign")) {
            QCOMPARE(sqliteShell(copy, QStringLiteral("CREATE TABLE notes(text);")).exitCode, 0);
        }
        const QByteArray before = fileDigest(m_database);

        QString problem;
        QVERIFY(!DatabaseBackup::verify(copy, &problem));
        QVERIFY2(problem.contains(saying), qPrintable(problem));
        // The command refuses before it touches anything.
        QBuffer out, errors;
        out.open(QIODevice::WriteOnly);
        errors.open(QIODevice::WriteOnly);
        QCOMPARE(MerivoTool(out, errors, m_database).run({QStringLiteral("restore"), copy}), int(MerivoTool::Failure));
        QVERIFY(errors.data().startsWith("merivo-tool: Not restored: "));
        QCOMPARE(errors.data().count('\n'), 1);
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

        QBuffer out, errors;
        out.open(QIODevice::WriteOnly);
        errors.open(QIODevice::WriteOnly);
        QCOMPARE(MerivoTool(out, errors, m_database).run({QStringLiteral("restore"), copy}), int(MerivoTool::Success));
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

        QBuffer out, errors;
        out.open(QIODevice::WriteOnly);
        errors.open(QIODevice::WriteOnly);
        QCOMPARE(MerivoTool(out, errors, m_database).run({QStringLiteral("restore"), copy}), int(MerivoTool::Success));
        QCOMPARE(storedContacts(m_database).size(), 2);
        const QDir backups(DatabaseBackup::backupFolder(m_database));
        QCOMPARE(fileDigest(backups.filePath(backups.entryList({QStringLiteral("db2-before-restore-*")}).value(0))),
                 damaged);
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

        QVERIFY(damage(m_database));
        QVERIFY(!check.run(m_database));
        QVERIFY2(check.problem().contains(QStringLiteral("damaged")), qPrintable(check.problem()));
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
