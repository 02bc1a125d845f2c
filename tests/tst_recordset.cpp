// The record view's contract as the record forms rely on it.

#include "ContactTestTools.h"
#include "NameFoldingCases.h"

#include "contacts/DatabaseBackup.h"
#include "contacts/Recordset.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <unistd.h>

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
    void init() { m_path = freshDatabasePath(m_dir); }

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

        makeContacts({QStringLiteral("Bob"), QStringLiteral("O'Brien")});
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
        QCOMPARE(storedNames(m_path).size(), 2);
    }

    void findFoldsNamesInEveryStateOfTheKeys_data() { addNameFoldingRows(); }

    // Find through the index, through the variants, through names the shell
    // wrote since the keys were made, and with no keys at all.
    void findFoldsNamesInEveryStateOfTheKeys()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, matches);
        const QStringList around = {QStringLiteral("Zed"), QStringLiteral("Σίσυφος Zed")};

        const auto verifyFinds = [&](const QString &state, const ContactDatabase::Settings &settings, bool indexed) {
            Recordset records;
            QVERIFY2(records.open(m_path, settings), qPrintable(records.lastError()));
            QCOMPARE(records.searchesByIndex(), indexed);
            QVERIFY(records.MoveLast());
            QVERIFY2(records.FindFirst(QStringLiteral("name= %1").arg(sqlText(typed))), qPrintable(records.lastError()));
            QVERIFY2(records.NoMatch() == !matches, qPrintable(state));
            if (matches)
                QVERIFY2(currentName(records) == stored, qPrintable(state));
        };

        makeContacts(around + QStringList{stored});
        verifyFinds(QStringLiteral("keyed by the store"), {}, true);

        init();
        makeContacts(around);
        QCOMPARE(execSql(m_path, insertNamesSql({stored})), QString());
        verifyFinds(QStringLiteral("written by another program since"), readOnlySettings(), true);

        init();
        QCOMPARE(execSql(m_path, untypedTableSql() + insertNamesSql(around + QStringList{stored})), QString());
        verifyFinds(QStringLiteral("no keys"), readOnlySettings(), false);
    }

    // A large file made by another program: the store opens at once, Find
    // folds names as it reads until the keys, made in the background, are
    // there, and another program can go on reading meanwhile.
    void keysOfALargeFileAreMadeInTheBackground()
    {
        QString fill = untypedTableSql() + QStringLiteral("BEGIN;");
        for (int i = 0; i < 30000; ++i) {
            const QString name = i % 3 ? QStringLiteral("Contact %1").arg(i) : QStringLiteral("ΣΊΣΥΦΟΣ Émile %1").arg(i);
            fill += QStringLiteral("INSERT INTO Table1(\"Name\", \"Address\") VALUES (%1, printf('%.200c', 'x'));")
                        .arg(sqlText(name));
        }
        QCOMPARE(execSql(m_path, fill + QStringLiteral("COMMIT;")), QString());
        QVERIFY(QFileInfo(m_path).size() > 5 * 1024 * 1024);

        const auto findsEach = [](Recordset &records) {
            for (const auto &[typed, id] : {std::pair{"σίσυφος émile 29997", 29998}, {"CONTACT 1", 2}}) {
                QVERIFY(records.FindFirst(QStringLiteral("name= '%1 '").arg(QString::fromUtf8(typed))));
                QVERIFY(!records.NoMatch());
                QCOMPARE(records.Bookmark(), RecordBookmark(id));
            }
            QVERIFY(records.FindFirst(QStringLiteral("name= 'σίσυφος'")));
            QVERIFY(records.NoMatch());
        };

        // Another program holding the right to write keeps the keys waiting.
        LockingConnection other;
        QVERIFY(other.lock(m_path, "BEGIN IMMEDIATE"));
        Recordset records;
        QVERIFY2(records.open(m_path), qPrintable(records.lastError()));
        QVERIFY(!records.searchesByIndex());
        findsEach(records);
        other.release();

        QVERIFY(records.waitForNameKeys(60000));
        QVERIFY(records.searchesByIndex());
        findsEach(records);
        QCOMPARE(sqliteShell(m_path, QStringLiteral("PRAGMA integrity_check;")).output, QStringLiteral("ok"));

        // Closing while they are being made stops the work; it starts again
        // at the next opening.
        records.close();
        QCOMPARE(execSql(m_path, QStringLiteral("DROP TABLE merivo_name_scheme;")), QString());
        QVERIFY(records.open(m_path));
        records.close();
        QVERIFY(records.open(m_path));
        QVERIFY(records.waitForNameKeys(60000));
        QVERIFY(records.searchesByIndex());
        findsEach(records);
    }

    void anEditWritesOnlyTheFieldsItChanges_data()
    {
        QTest::addColumn<QString>("value"); // as another program stored it, in SQL
        QTest::newRow("text that is not UTF-8") << "CAST(X'C3A928E9FF' AS TEXT)";
        QTest::newRow("BLOB") << "X'00FF10C3A9'";
        QTest::newRow("empty BLOB") << "X''";
        QTest::newRow("NULL") << "NULL";
        QTest::newRow("integer") << "9007199254740993";
        QTest::newRow("real") << "1.5e300";
        QTest::newRow("text holding a NUL") << "CAST(X'610062' AS TEXT)";
    }

    // The value stands in every field but the address: an edit of the
    // address, and the deletion of another contact, leave it bit for bit.
    void anEditWritesOnlyTheFieldsItChanges()
    {
        QFETCH(QString, value);
        QCOMPARE(execSql(m_path, untypedTableSql()
                                     + QStringLiteral("INSERT INTO Table1 VALUES (%1, 'Elm', %1, %1, %1, %1, %1, %1);"
                                                      "INSERT INTO Table1 VALUES ('Other', %1, %1, %1, %1, %1, %1, %1);")
                                           .arg(value)),
                 QString());
        QList<StoredRecord> expected = storedRecords(m_path);

        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.Edit());
        records.setValue(ContactField::Address, QStringLiteral("Oak"));
        // A box that shows a field as it is stored changes nothing.
        records.setValue(ContactField::Position, records.value(ContactField::Position));
        QVERIFY2(records.Update(), qPrintable(records.lastError()));
        expected[0][fieldIndex(ContactField::Address)] = StoredValue::fromText(QStringLiteral("Oak"));
        QVERIFY(storedRecords(m_path) == expected);
        QCOMPARE(records.currentRecord(), expected[0]);

        QVERIFY(records.MoveLast());
        QVERIFY(records.Delete());
        expected.removeLast();
        QVERIFY(storedRecords(m_path) == expected);

        // Found by the name as it is shown.
        QVERIFY(records.MoveLast());
        QVERIFY(records.FindFirst(QStringLiteral("name= %1").arg(sqlText(records.currentValues()[0] + u' '))));
        QVERIFY(!records.NoMatch());
    }

    // "Still as it was read" compares what is stored, not the text it shows:
    // a BLOB replaced by the same letters as text is a change.
    void changesAreCheckedAgainstTheStoredValues()
    {
        QCOMPARE(execSql(m_path, untypedTableSql()
                                     + QStringLiteral("INSERT INTO Table1 VALUES ('Ann', 'Elm', '', X'C3A9', '', '', '', '');")),
                 QString());
        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.Edit());
        QCOMPARE(execSql(m_path, QStringLiteral("UPDATE Table1 SET \"Position\" = 'é';")), QString());
        const QList<StoredRecord> changed = storedRecords(m_path);
        records.setValue(ContactField::Name, QStringLiteral("Anna"));
        QVERIFY(!records.Update());
        QVERIFY2(records.lastError().contains(QLatin1String("changed it")), qPrintable(records.lastError()));
        QVERIFY(records.CancelUpdate());
        QVERIFY(storedRecords(m_path) == changed);

        QCOMPARE(execSql(m_path, QStringLiteral("UPDATE Table1 SET \"Position\" = X'C3A9';")), QString());
        QVERIFY(!records.Delete());
        QCOMPARE(storedRecords(m_path).size(), 1);
    }

    void aRestoredFileIsFollowed_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("copy written in place, without name keys") << "in place, no keys";
        QTest::newRow("copy written in place, keys of another version") << "in place, other keys";
        QTest::newRow("another file renamed over it") << "renamed";
    }

    // A copy restored while the store is open: Find and Save carry on with
    // it, and nothing is ever written to the file it replaced.
    void aRestoredFileIsFollowed()
    {
        QFETCH(QString, how);
        makeContacts({QStringLiteral("Ann"), QStringLiteral("Bob")});
        const QString copy = m_path + QStringLiteral(".copy");
        if (how == QLatin1String("in place, other keys")) {
            Recordset maker;
            QVERIFY(maker.open(copy));
            QVERIFY(addContact(maker, QStringLiteral("Émile Zola")));
            QVERIFY(addContact(maker, QStringLiteral("Zed")));
            maker.close();
            QCOMPARE(execSql(copy, QStringLiteral("UPDATE merivo_name_scheme SET version = 'older';")), QString());
        } else {
            QCOMPARE(execSql(copy, untypedTableSql() + insertNamesSql({QStringLiteral("Émile Zola"), QStringLiteral("Zed")})),
                     QString());
        }

        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.FindFirst(QStringLiteral("name= 'bob '")));
        // A second name for the file as it is now, to see that it is left alone.
        const QString old = m_path + QStringLiteral(".before");
        QCOMPARE(::link(QFile::encodeName(m_path).constData(), QFile::encodeName(old).constData()), 0);
        const QByteArray oldContents = fileDigest(old);

        if (how == QLatin1String("renamed")) {
            QVERIFY(QFile::rename(copy, m_path + QStringLiteral(".new")));
            QCOMPARE(::rename(QFile::encodeName(m_path + QStringLiteral(".new")).constData(),
                              QFile::encodeName(m_path).constData()),
                     0);
        } else {
            QString error;
            QVERIFY2(DatabaseBackup::replaceContents(copy, m_path, &error), qPrintable(error));
        }

        QVERIFY2(records.FindFirst(QStringLiteral("name= 'ÉMILE ZOLA '")), qPrintable(records.lastError()));
        QVERIFY(!records.NoMatch());
        QCOMPARE(currentName(records), QStringLiteral("Émile Zola"));
        QVERIFY(records.Edit());
        records.setValue(ContactField::Address, QStringLiteral("Rue du Bac"));
        QVERIFY2(records.Update(), qPrintable(records.lastError()));
        QVERIFY2(addContact(records, QStringLiteral("Cy")), qPrintable(records.lastError()));
        QVERIFY(records.FindFirst(QStringLiteral("name= 'cy '")));
        QVERIFY(!records.NoMatch());

        QCOMPARE(storedNames(m_path), QStringList({QStringLiteral("Émile Zola"), QStringLiteral("Zed"), QStringLiteral("Cy")}));
        QCOMPARE(storedRecords(m_path).first()[fieldIndex(ContactField::Address)].text(), QStringLiteral("Rue du Bac"));
        if (how == QLatin1String("renamed"))
            QCOMPARE(fileDigest(old), oldContents);
        records.close();
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_path).constData(), &db), SQLITE_OK);
        const QString keys = nameKeyProblem(db);
        sqlite3_close(db);
        QVERIFY2(keys.isEmpty(), qPrintable(keys));
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
            QCOMPARE(sqlite3_exec(records.databaseHandle(), "PRAGMA max_page_count = 1", nullptr, nullptr, nullptr),
                     SQLITE_OK);
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
