// db2.mdb as a file: created when missing, refused untouched when foreign,
// and shared with the sqlite3 shell.

#include "ContactTestTools.h"

#include "contacts/Recordset.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestContactDatabase : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

    static QString currentName(const Recordset &records) { return records.currentValues()[0]; }

    static bool finds(Recordset &records, const QString &name)
    {
        return records.FindFirst(QStringLiteral("name= %1").arg(sqlText(name + QLatin1Char(' '))))
            && !records.NoMatch();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!haveSqliteShell())
            QSKIP("the sqlite3 shell is not installed");
    }

    void init() { m_path = freshDatabasePath(m_dir); }

    void createsAMissingFolderAndFile()
    {
        {
            Recordset records;
            QVERIFY2(records.open(m_path), qPrintable(records.lastError()));
            QVERIFY(!records.isReadOnly());
        }
        const ShellResult columns = sqliteShell(m_path, QStringLiteral("SELECT group_concat(name, '|') FROM pragma_table_info('Table1');"));
        QCOMPARE(columns.output, QString(EightFields).remove(QLatin1Char('"')).replace(QStringLiteral(", "), QStringLiteral("|")));
        QCOMPARE(sqliteShell(m_path, QStringLiteral("PRAGMA journal_mode;")).output, QStringLiteral("delete"));

        // A file of 0 bytes is filled the same way.
        const QString empty = m_dir.filePath(QStringLiteral("empty.mdb"));
        QFile file(empty);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Recordset records;
        QVERIFY2(records.open(empty), qPrintable(records.lastError()));
        QVERIFY(addContact(records, QStringLiteral("Ann")));
        QCOMPARE(storedNames(empty), QStringList{QStringLiteral("Ann")});
    }

    void foreignFilesAreRefusedUntouched_data()
    {
        QTest::addColumn<QByteArray>("bytes");    // the file as raw bytes, or
        QTest::addColumn<QString>("shellScript"); // the file as the shell makes it
        QTest::addColumn<QString>("saying");

        QTest::newRow("text") << QByteArray("Name,Address\nAnn,Elm\n") << QString() << "not an SQLite database";
        QTest::newRow("shorter than a header") << QByteArray("SQLite fo") << QString() << "not an SQLite database";
        QTest::newRow("SQLite header, then rubbish") << QByteArray("SQLite format 3\0", 16) + QByteArray(4096, '\x5a')
                                                     << QString() << "db2.mdb";
        QTest::newRow("no Table1") << QByteArray() << "CREATE TABLE Contacts(\"Name\");" << "no table Table1";
        QTest::newRow("a field missing") << QByteArray()
                                         << QString(QStringLiteral("CREATE TABLE Table1(%1);")).arg(QString(EightFields).remove(QStringLiteral(", \"Website Address\"")))
                                         << "lacks the fields \"Website Address\"";
        QTest::newRow("a field too many") << QByteArray()
                                          << QStringLiteral("CREATE TABLE Table1(%1, \"Fax\");").arg(EightFields)
                                          << "\"Fax\"";
        QTest::newRow("field name in other letter case") << QByteArray()
                                                         << QStringLiteral("CREATE TABLE Table1(%1);").arg(QString(EightFields).replace(QStringLiteral("Office address"), QStringLiteral("Office Address")))
                                                         << "\"Office Address\"";
        QTest::newRow("Table1 is a view") << QByteArray()
                                          << QStringLiteral("CREATE TABLE t(%1); CREATE VIEW Table1 AS SELECT * FROM t;").arg(EightFields)
                                          << "view";
        QTest::newRow("without row ids") << QByteArray()
                                         << QStringLiteral("CREATE TABLE Table1(%1, PRIMARY KEY(\"Name\")) WITHOUT ROWID;").arg(EightFields)
                                         << "row ids";
    }

    void foreignFilesAreRefusedUntouched()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shellScript);
        QFETCH(QString, saying);

        QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
        if (shellScript.isEmpty()) {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        } else {
            QCOMPARE(sqliteShell(m_path, shellScript).errors, QString());
        }
        const QByteArray before = fileDigest(m_path);
        const QDateTime modified = QFileInfo(m_path).lastModified();

        Recordset records;
        QVERIFY(!records.open(m_path));
        QVERIFY2(records.lastError().contains(saying), qPrintable(records.lastError()));
        QVERIFY2(records.lastError().contains(m_path), qPrintable(records.lastError()));
        QVERIFY(!records.isOpen());
        QCOMPARE(fileDigest(m_path), before);
        QCOMPARE(QFileInfo(m_path).lastModified(), modified);
        QCOMPARE(QDir(QFileInfo(m_path).absolutePath()).entryList(QDir::Files), QStringList{QStringLiteral("db2.mdb")});
    }

    void contactsWrittenByTheShellAreFound()
    {
        Recordset records;
        QVERIFY(records.open(m_path));

        // Written while the store is open: found without reopening.
        ShellResult shell = sqliteShell(m_path, insertNamesSql({QStringLiteral("Émile Zola"), QStringLiteral("Ann"),
                                                                QStringLiteral("Bob  "), QStringLiteral("Gone")})
                                                    + QStringLiteral("UPDATE Table1 SET \"Name\" = 'Annabel' WHERE \"Name\" = 'Ann';"
                                                                     "DELETE FROM Table1 WHERE \"Name\" = 'Gone';"));
        QCOMPARE(shell.errors, QString());
        QVERIFY(finds(records, QStringLiteral("ÉMILE ZOLA")));
        QCOMPARE(records.currentValues()[1], QStringLiteral("Émile Zola street"));
        QVERIFY(finds(records, QStringLiteral("bob")));
        QVERIFY(finds(records, QStringLiteral("annabel")));
        QVERIFY(!finds(records, QStringLiteral("Ann")));
        QVERIFY(!finds(records, QStringLiteral("Gone")));
        QVERIFY(records.MoveLast());
        QCOMPARE(currentName(records), QStringLiteral("Bob  "));

        // A store opening a writable file folds what the shell left pending,
        // and the shell can still change the file afterwards.
        Recordset second;
        QVERIFY(second.open(m_path));
        QCOMPARE(sqliteShell(m_path, QStringLiteral("SELECT count(*) FROM merivo_name_pending;")).output, QStringLiteral("0"));
        shell = sqliteShell(m_path, QStringLiteral("UPDATE Table1 SET \"Name\" = 'Bea' WHERE \"Name\" = 'Bob  ';"));
        QCOMPARE(shell.errors, QString());
        QVERIFY(finds(second, QStringLiteral("BEA")));
        QVERIFY(!finds(second, QStringLiteral("Bob")));
        QCOMPARE(sqliteShell(m_path, QStringLiteral("PRAGMA integrity_check;")).output, QStringLiteral("ok"));
    }

    void aFileMadeInTheShellIsKeyedOnce()
    {
        QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
        const QString script = untypedTableSql()
            + insertNamesSql({QStringLiteral("ΣΊΣΥΦΟΣ"), QStringLiteral("Straße"), QStringLiteral("Ann")})
            + QStringLiteral("INSERT INTO Table1(\"Name\") VALUES (NULL);");
        QCOMPARE(sqliteShell(m_path, script).errors, QString());

        Recordset records;
        QVERIFY2(records.open(m_path), qPrintable(records.lastError()));
        QVERIFY(records.searchesByIndex());
        QVERIFY(finds(records, QStringLiteral("σίσυφος")));
        QVERIFY(finds(records, QStringLiteral("STRASSE")));
        QVERIFY(records.FindFirst(QStringLiteral("Name= ' '")));
        QCOMPARE(records.Bookmark(), RecordBookmark(4));

        // Once keyed, opening again writes nothing.
        records.close();
        const QByteArray keyed = fileDigest(m_path);
        QVERIFY(records.open(m_path));
        records.close();
        QCOMPARE(fileDigest(m_path), keyed);

        // Keys that no longer fit the folding (an older version, or changed by
        // hand) are rebuilt.
        QCOMPARE(sqliteShell(m_path, QStringLiteral("UPDATE merivo_name_variant SET hash = hash + 1;"
                                                    "UPDATE merivo_name_scheme SET version = 'older';")).errors,
                 QString());
        QVERIFY(records.open(m_path));
        QVERIFY(finds(records, QStringLiteral("σίσυφος")));

        // So are those of an earlier Merivo, a key for every name.
        records.close();
        QCOMPARE(sqliteShell(m_path, QStringLiteral(
                                         "DROP TABLE merivo_name_variant; DROP INDEX merivo_name_folded;"
                                         "CREATE INDEX merivo_name_on_table1 ON Table1(\"Name\");"
                                         "CREATE TABLE merivo_name_variant(name NOT NULL PRIMARY KEY, key TEXT NOT NULL) "
                                         "WITHOUT ROWID;"
                                         "UPDATE merivo_name_scheme SET version = 'name key 2, unicode 15';"))
                     .errors,
                 QString());
        QVERIFY(records.open(m_path));
        QVERIFY(finds(records, QStringLiteral("STRASSE")));
        QCOMPARE(sqliteShell(m_path, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = "
                                                    "'merivo_name_on_table1';"))
                     .output,
                 QStringLiteral("0"));
    }

    void dumpAndReloadKeepsFinding()
    {
        {
            Recordset records;
            QVERIFY(records.open(m_path));
            for (const char *name : {"Ann", "Bob", "Cy", "Émile"})
                QVERIFY(addContact(records, QString::fromUtf8(name)));
            QVERIFY(records.FindFirst(QStringLiteral("Name= 'Bob'")));
            QVERIFY(records.Delete());
        }
        // The shell renumbers the rows when it reloads a dump.
        const QString copy = m_dir.filePath(QStringLiteral("copy.mdb"));
        const ShellResult dump = sqliteShell(m_path, QStringLiteral(".dump"));
        QCOMPARE(sqliteShell(copy, dump.output).errors, QString());
        QCOMPARE(sqliteShell(copy, QStringLiteral("SELECT rowid FROM Table1 WHERE \"Name\" = 'Cy';")).output, QStringLiteral("2"));

        Recordset records;
        QVERIFY(records.open(copy));
        QVERIFY(finds(records, QStringLiteral("cy")));
        QCOMPARE(records.currentValues()[1], QStringLiteral("Cy/1"));
        QVERIFY(finds(records, QStringLiteral("émile")));
        QVERIFY(!finds(records, QStringLiteral("bob")));
    }

    void aSaveCutShortByACrashIsUndone()
    {
        {
            Recordset records;
            QVERIFY(records.open(m_path));
            QVERIFY(addContact(records, QStringLiteral("Ann")));
        }
        killShellMidTransaction(m_path);

        Recordset records;
        QVERIFY2(records.open(m_path), qPrintable(records.lastError()));
        QVERIFY(records.MoveLast());
        QCOMPARE(currentName(records), QStringLiteral("Ann"));
        QVERIFY(!QFile::exists(m_path + QStringLiteral("-journal")));
        QVERIFY(addContact(records, QStringLiteral("Bob")));
        QCOMPARE(storedNames(m_path), QStringList({QStringLiteral("Ann"), QStringLiteral("Bob")}));
    }

    void readOnlyFilesCanBeBrowsed()
    {
        QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
        QCOMPARE(sqliteShell(m_path, untypedTableSql()
                                         + insertNamesSql({QStringLiteral("Ann"), QStringLiteral("Émile")}))
                     .errors,
                 QString());
        const QByteArray before = fileDigest(m_path);

        // Without key tables and without the right to add them, Find folds
        // every name as it reads.
        Recordset records;
        QVERIFY2(records.open(m_path, readOnlySettings()), qPrintable(records.lastError()));
        QVERIFY(records.isReadOnly());
        QVERIFY(!records.searchesByIndex());
        QVERIFY(finds(records, QStringLiteral("ÉMILE")));
        QVERIFY(records.MovePrevious());
        QCOMPARE(currentName(records), QStringLiteral("Ann"));
        QVERIFY(!records.AddNew());
        QVERIFY(!records.Edit());
        QVERIFY(!records.Delete());
        QVERIFY(records.lastError().contains(QLatin1String("read-only")));
        records.close();
        QCOMPARE(fileDigest(m_path), before);

        // A file this user may not write opens read-only by itself.
        if (geteuid() == 0)
            QSKIP("root may write any file");
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner));
        QVERIFY(records.open(m_path));
        QVERIFY(records.isReadOnly());
        QVERIFY(finds(records, QStringLiteral("ann")));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner));
    }
};

QTEST_GUILESS_MAIN(TestContactDatabase)
#include "tst_contactdatabase.moc"
