// The record view's contract as the record forms rely on it.

#include "ContactTestTools.h"

#include "contacts/Recordset.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

// Another program's connection holding the file's exclusive lock.
struct LockingConnection
{
    sqlite3 *db = nullptr;

    bool lock(const QString &path)
    {
        return sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
            && sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    void release()
    {
        sqlite3_close_v2(db); // rolls back
        db = nullptr;
    }
    ~LockingConnection() { release(); }
};

class TestRecordset : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

    // A fresh file holding these names, in this order.
    void makeContacts(const QStringList &names)
    {
        Recordset creator;
        QVERIFY2(creator.open(m_path), qPrintable(creator.lastError()));
        for (const QString &name : names)
            QVERIFY2(addContact(creator, name), qPrintable(creator.lastError()));
    }

    static QString currentName(const Recordset &records) { return records.currentValues()[0]; }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        // A folder of its own for every test and data row; it does not exist yet.
        static int count = 0;
        m_path = m_dir.filePath(QStringLiteral("data%1/db2.mdb").arg(++count));
    }

    void emptyTableHasNoCurrentRecord()
    {
        Recordset records;
        QSignalSpy changed(&records, &Recordset::currentRecordChanged);
        QVERIFY2(records.open(m_path), qPrintable(records.lastError()));
        QCOMPARE(changed.count(), 1);
        QVERIFY(!records.hasCurrentRecord());
        QCOMPARE(records.currentValues(), ContactValues());
        QVERIFY(!records.Bookmark());

        QVERIFY(records.MoveNext());
        QVERIFY(records.MovePrevious());
        QVERIFY(records.MoveLast());
        QVERIFY(!records.hasCurrentRecord());
        QVERIFY(records.FindFirst(QStringLiteral("Name= 'abc '")));
        QVERIFY(records.NoMatch());
        QVERIFY(!records.Delete());
        QVERIFY(!records.Edit());
        QVERIFY(records.lastError().contains(QLatin1String("no current contact")));
    }

    void addThenSave()
    {
        makeContacts({QStringLiteral("Ann"), QStringLiteral("Bob")});
        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.MoveNext());
        QCOMPARE(currentName(records), QStringLiteral("Bob"));

        QVERIFY(records.AddNew());
        QCOMPARE(records.editMode(), Recordset::EditMode::Adding);
        QCOMPARE(records.currentValues(), ContactValues());
        ContactValues typed;
        for (int i = 0; i < ContactFieldCount; ++i) {
            typed[i] = i == 4 ? QString() : QStringLiteral("new %1 ü").arg(i);
            records.setValue(static_cast<ContactField>(i), typed[i]);
        }
        QVERIFY2(records.Update(), qPrintable(records.lastError()));

        // The record current before the add is current again.
        QCOMPARE(records.editMode(), Recordset::EditMode::None);
        QCOMPARE(currentName(records), QStringLiteral("Bob"));
        QVERIFY(records.setBookmark(records.LastModified()));
        QCOMPARE(records.currentValues(), typed);
        QVERIFY(records.Refresh());
        QCOMPARE(currentName(records), QStringLiteral("Ann"));

        QCOMPARE(storedNames(m_path), QStringList({QStringLiteral("Ann"), QStringLiteral("Bob"), typed[0]}));
        const ShellResult empty = sqliteShell(m_path, QStringLiteral("SELECT quote(\"Office address\") FROM Table1 WHERE rowid = 3;"));
        QCOMPARE(empty.output, QStringLiteral("''"));
    }

    void cancelDropsAddAndEdit()
    {
        makeContacts({QStringLiteral("Ann"), QStringLiteral("Bob")});
        const QByteArray before = fileDigest(m_path);
        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.MoveLast());

        QVERIFY(records.AddNew());
        records.setValue(ContactField::Name, QStringLiteral("Never"));
        QVERIFY(records.CancelUpdate());
        QCOMPARE(records.editMode(), Recordset::EditMode::None);
        QCOMPARE(currentName(records), QStringLiteral("Bob"));

        QVERIFY(records.Edit());
        records.setValue(ContactField::Name, QStringLiteral("Changed"));
        QSignalSpy changed(&records, &Recordset::currentRecordChanged);
        QVERIFY(records.CancelUpdate());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(currentName(records), QStringLiteral("Bob"));
        QVERIFY(!records.Update());

        QCOMPARE(fileDigest(m_path), before);
    }

    void deletingTheLastRecordInViewOrder()
    {
        makeContacts({QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")});
        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.MoveLast());
        QVERIFY(records.Delete());
        QVERIFY(!records.hasCurrentRecord());
        QCOMPARE(records.currentValues(), ContactValues());
        QVERIFY(records.MoveNext());
        QVERIFY(!records.hasCurrentRecord());
        QVERIFY(records.MovePrevious());
        QCOMPARE(currentName(records), QStringLiteral("Bob"));

        // In the middle, the next move goes on from the gap.
        QVERIFY(records.MoveFirst());
        QVERIFY(records.Delete());
        QVERIFY(records.MoveNext());
        QCOMPARE(currentName(records), QStringLiteral("Bob"));
        QVERIFY(records.Delete());
        QVERIFY(!records.Delete());
        QCOMPARE(storedNames(m_path), QStringList());
    }

    void movesAtTheEdges()
    {
        makeContacts({QStringLiteral("Ann"), QStringLiteral("Bob")});
        Recordset records;
        QVERIFY(records.open(m_path));
        QSignalSpy changed(&records, &Recordset::currentRecordChanged);
        QVERIFY(records.MovePrevious(Recordset::AtEdge::Stay));
        QVERIFY(records.MoveLast());
        QVERIFY(records.MoveNext(Recordset::AtEdge::Stay));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(currentName(records), QStringLiteral("Bob"));
        QVERIFY(records.MoveNext());
        QVERIFY(!records.hasCurrentRecord());
        QVERIFY(records.MovePrevious());
        QCOMPARE(currentName(records), QStringLiteral("Bob"));
    }

    void duplicateNamesFindTheEarlier()
    {
        makeContacts({QStringLiteral("Zed"), QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("ANN  ")});
        Recordset records;
        QVERIFY(records.open(m_path));
        const RecordBookmark firstAnn = [&] { records.MoveNext(); return records.Bookmark(); }();
        for (int i = 0; i < 2; ++i) {
            QVERIFY(records.MoveLast());
            QVERIFY(records.FindFirst(QStringLiteral("name= 'ann '")));
            QVERIFY(!records.NoMatch());
            QCOMPARE(records.Bookmark(), firstAnn);
        }
    }

    void findFirstCriteria_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<QString>("found"); // empty: no match
        QTest::addColumn<bool>("refused");

        QTest::newRow("field name in small letters") << "name= 'bob '" << "Bob" << false;
        QTest::newRow("field name in capitals") << "NAME= 'Bob'" << "Bob" << false;
        QTest::newRow("trailing blanks on both sides") << "Name= 'Trail '" << "Trail   " << false;
        QTest::newRow("leading blanks count") << "Name= 'Lead '" << "" << false;
        QTest::newRow("accented capital") << "Name= 'émile zola '" << "Émile Zola" << false;
        QTest::newRow("Cyrillic") << "Name= 'москва '" << "МОСКВА" << false;
        QTest::newRow("doubled apostrophe") << "name= 'o''brien '" << "O'Brien" << false;
        QTest::newRow("apostrophe not doubled") << "name= 'O'Brien '" << "" << true;
        QTest::newRow("injection attempt") << "Name= '' OR 1=1 --'" << "" << true;
        QTest::newRow("other field") << "Address= 'Bob street'" << "" << true;
        QTest::newRow("blanks only match no named contact") << "Name= '  '" << "" << false;
        QTest::newRow("not there") << "Name= 'Nobody '" << "" << false;
    }

    void findFirstCriteria()
    {
        QFETCH(QString, criterion);
        QFETCH(QString, found);
        QFETCH(bool, refused);

        makeContacts({QStringLiteral("Bob"), QStringLiteral("Trail   "), QStringLiteral("  Lead"),
                      QStringLiteral("Émile Zola"), QStringLiteral("МОСКВА"), QStringLiteral("O'Brien")});
        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.MoveLast());
        const RecordBookmark before = records.Bookmark();

        QCOMPARE(records.FindFirst(criterion), !refused);
        QCOMPARE(records.NoMatch(), found.isEmpty());
        QCOMPARE(records.lastError().isEmpty(), !refused);
        if (found.isEmpty())
            QCOMPARE(records.Bookmark(), before);
        else
            QCOMPARE(currentName(records), found);
        QCOMPARE(storedNames(m_path).size(), 6);
    }

    void movesWaitForPendingAddOrEdit()
    {
        makeContacts({QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")});
        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.MoveNext());

        QVERIFY(records.Edit());
        records.setValue(ContactField::Name, QStringLiteral("Bobby"));
        QVERIFY(!records.MoveNext());
        QVERIFY(records.lastError().contains(QLatin1String("being edited")));
        QVERIFY(!records.FindFirst(QStringLiteral("Name= 'Ann'")));
        QVERIFY(!records.MoveFirst());
        QVERIFY(!records.setBookmark(1));
        QVERIFY(!records.Refresh());
        QVERIFY(!records.Delete());
        QVERIFY(!records.AddNew());
        QVERIFY(records.Update());
        QCOMPARE(storedNames(m_path), QStringList({QStringLiteral("Ann"), QStringLiteral("Bobby"), QStringLiteral("Cy")}));

        QVERIFY(records.AddNew());
        QVERIFY(!records.MovePrevious());
        QVERIFY(!records.Edit());
        QVERIFY(records.lastError().contains(QLatin1String("being added")));
        QVERIFY(records.CancelUpdate());
        QCOMPARE(currentName(records), QStringLiteral("Bobby"));
    }

    void updateWritesOnlyAPendingRecord()
    {
        makeContacts({QStringLiteral("Ann"), QStringLiteral("Bob")});
        const QByteArray before = fileDigest(m_path);
        Recordset records;
        QVERIFY(records.open(m_path));
        records.setValue(ContactField::Name, QStringLiteral("typed"));
        QVERIFY(!records.Update());
        QVERIFY(records.lastError().contains(QLatin1String("nothing was written")));
        QCOMPARE(fileDigest(m_path), before);
    }

    void twoStoresOverOneFile()
    {
        makeContacts({QStringLiteral("Ann")});
        Recordset first;
        Recordset second;
        QVERIFY(first.open(m_path));
        QVERIFY(second.open(m_path));

        QVERIFY2(addContact(first, QStringLiteral("Bob")), qPrintable(first.lastError()));
        QVERIFY(second.Refresh());
        QVERIFY(second.MoveNext());
        QCOMPARE(currentName(second), QStringLiteral("Bob"));
        QVERIFY(second.FindFirst(QStringLiteral("name= 'bob '")));

        QVERIFY(second.Edit());
        second.setValue(ContactField::Name, QStringLiteral("Robert"));
        QVERIFY2(second.Update(), qPrintable(second.lastError()));
        QVERIFY(first.Refresh());
        QVERIFY(first.FindFirst(QStringLiteral("name= 'ROBERT '")));
        QVERIFY(!first.NoMatch());
        QVERIFY(first.FindFirst(QStringLiteral("name= 'bob '")));
        QVERIFY(first.NoMatch());

        // An edit of a record that the other store deleted writes nothing.
        QVERIFY(first.Edit());
        QVERIFY(second.Delete());
        first.setValue(ContactField::Name, QStringLiteral("Ghost"));
        QVERIFY(!first.Update());
        QVERIFY2(first.lastError().contains(QLatin1String("no longer exists")), qPrintable(first.lastError()));
        QCOMPARE(storedNames(m_path), QStringList({QStringLiteral("Ann")}));
        QVERIFY(first.CancelUpdate());
        QVERIFY(!first.hasCurrentRecord());
    }

    void writeFailuresAreClearAndLeaveNothingHalfWritten_data()
    {
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<QString>("saying");

        QTest::newRow("locked by another program") << "locked" << "locked";
        QTest::newRow("disk full") << "full" << "disk is full";
        QTest::newRow("file moved away") << "gone" << "moved or deleted";
        QTest::newRow("read-only") << "read-only" << "read-only";
    }

    void writeFailuresAreClearAndLeaveNothingHalfWritten()
    {
        QFETCH(QString, trouble);
        QFETCH(QString, saying);

        makeContacts({QStringLiteral("Ann")});
        Recordset records;
        ContactDatabase::Settings settings;
        settings.busyTimeoutMs = 50;
        settings.readOnly = trouble == QLatin1String("read-only");
        QVERIFY(records.open(m_path, settings));
        const QByteArray before = fileDigest(m_path);

        LockingConnection other;
        if (trouble == QLatin1String("locked")) {
            QVERIFY(other.lock(m_path));
        } else if (trouble == QLatin1String("full")) {
            QSqlQuery limit(QSqlDatabase::database(records.connectionName()));
            QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = 1")));
        } else if (trouble == QLatin1String("gone")) {
            QVERIFY(QFile::rename(m_path, m_path + QStringLiteral(".moved")));
        }

        const QString bigName(20000, QLatin1Char('x'));
        QCOMPARE(addContact(records, bigName), false);
        QVERIFY2(records.lastError().contains(saying), qPrintable(records.lastError()));
        QVERIFY2(records.lastError().contains(m_path), "the message names the file");
        other.release();
        if (trouble != QLatin1String("read-only")) {
            QCOMPARE(records.editMode(), Recordset::EditMode::Adding);
            QVERIFY(records.CancelUpdate());
        }

        const QString file = trouble == QLatin1String("gone") ? m_path + QStringLiteral(".moved") : m_path;
        QCOMPARE(fileDigest(file), before);
        QCOMPARE(sqliteShell(file, QStringLiteral("PRAGMA integrity_check;")).output, QStringLiteral("ok"));
        QCOMPARE(storedNames(file), QStringList({QStringLiteral("Ann")}));
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
