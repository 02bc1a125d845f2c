// A Table1 made by another tool with columns of number types: what such a
// column would change is refused by the forms and by import, naming the
// column, and merivo-tool convert-columns makes the table keep what is
// written, every stored value kept exactly.

#include "ContactTestTools.h"

#include "contacts/ContactBatch.h"
#include "contacts/DatabaseBackup.h"
#include "contacts/Recordset.h"
#include "tool/MerivoTool.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Table1 with the phone number's column declared `type`.
QString tableWithPhoneTypeSql(const QString &type)
{
    return QStringLiteral("CREATE TABLE Table1(\"Name\" TEXT, \"Address\" TEXT, \"Phone Number\" %1, \"Position\", "
                          "\"Office address\" TEXT, \"Office Phone Number\" TEXT, \"Email Address\" TEXT, "
                          "\"Website Address\" TEXT);")
        .arg(type);
}

int runTool(const QString &database, const QStringList &arguments, QByteArray &said)
{
    QBuffer out, errors;
    out.open(QIODevice::WriteOnly);
    errors.open(QIODevice::WriteOnly);
    const int status = MerivoTool(out, errors, database).run(arguments);
    said = out.data() + errors.data();
    return status;
}

} // namespace

class TestColumnTypes : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void init() { m_path = freshDatabasePath(m_dir); }

    void aTextTheColumnWouldChangeIsRefused_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused");

        QTest::newRow("NUMERIC, international number") << "NUMERIC" << "+49301234567" << true;
        QTest::newRow("NUMERIC, number with blanks") << "NUMERIC" << "+49 30 1234567" << false;
        QTest::newRow("INTEGER, leading zeros") << "INTEGER" << "007" << true;
        QTest::newRow("INT, exponent") << "INT" << "1e3" << true;
        QTest::newRow("REAL, exponent") << "REAL" << "1e3" << true;
        QTest::newRow("DECIMAL, trailing zero") << "DECIMAL(10,2)" << "12.50" << true;
        QTest::newRow("BOOLEAN, a digit") << "BOOLEAN" << "1" << true;
        QTest::newRow("DATE, digits only") << "DATE" << "20240101" << true;
        QTest::newRow("DATE, with dashes") << "DATE" << "2024-01-01" << false;
        QTest::newRow("VARCHAR keeps text") << "VARCHAR(20)" << "007" << false;
        QTest::newRow("no type keeps text") << "" << "007" << false;
    }

    void aTextTheColumnWouldChangeIsRefused()
    {
        QFETCH(QString, type);
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        QCOMPARE(execSql(m_path, tableWithPhoneTypeSql(type)), QString());

        Recordset records;
        QVERIFY2(records.open(m_path), qPrintable(records.lastError()));
        QVERIFY(records.AddNew());
        records.setValue(ContactField::Name, QStringLiteral("Ann"));
        records.setValue(ContactField::PhoneNumber, typed);
        QCOMPARE(records.Update(), !refused);
        if (refused) {
            for (const QString &named : {QStringLiteral("\"Phone Number\""), type, typed, QStringLiteral("convert-columns")})
                QVERIFY2(records.lastError().contains(named), qPrintable(records.lastError()));
            QCOMPARE(records.editMode(), Recordset::EditMode::Adding);
            QVERIFY(storedRecords(m_path).isEmpty());
            return;
        }
        QCOMPARE(storedRecords(m_path).first()[fieldIndex(ContactField::PhoneNumber)], StoredValue::fromText(typed));

        // An edit that leaves the column alone is not checked against it.
        QCOMPARE(execSql(m_path, QStringLiteral("UPDATE Table1 SET \"Phone Number\" = 12")), QString());
        QVERIFY(records.MoveFirst());
        QVERIFY(records.Edit());
        records.setValue(ContactField::Address, QStringLiteral("Elm"));
        QVERIFY2(records.Update(), qPrintable(records.lastError()));
    }

    void importRefusesWhatAColumnWouldChange()
    {
        // Bob's number as another tool stored it: what "0301234" became.
        QCOMPARE(execSql(m_path, tableWithPhoneTypeSql(QStringLiteral("NUMERIC"))
                                     + QStringLiteral("INSERT INTO Table1 VALUES ('Bob', '', 301234, '', '', '', '', '');")),
                 QString());
        const QList<StoredRecord> before = storedRecords(m_path);
        ContactBatch batch;
        QVERIFY(batch.begin(m_path));
        QCOMPARE(batch.add({"Ann", "", "+49 30 1234"}), ContactBatch::Outcome::Added);
        QCOMPARE(batch.add({"Bob", "", "0301234"}), ContactBatch::Outcome::Failed);
        QVERIFY2(batch.lastError().contains(QLatin1String("\"Phone Number\"")), qPrintable(batch.lastError()));
        QVERIFY2(batch.lastError().contains(QLatin1String("0301234")), qPrintable(batch.lastError()));
        batch.rollback();
        QVERIFY(storedRecords(m_path) == before);
    }

    // Every stored value stays exactly as it was, with its row id, the
    // table's indexes and triggers, and the name keys; a store that has the
    // file open then saves what it refused before.
    void convertColumnsKeepsEveryValue()
    {
        QCOMPARE(execSql(m_path, tableWithPhoneTypeSql(QStringLiteral("INTEGER"))
                                     + QStringLiteral("CREATE TABLE log(what);"
                                                      "CREATE TRIGGER logged AFTER INSERT ON Table1 BEGIN "
                                                      "INSERT INTO log VALUES (new.\"Name\"); END;"
                                                      "CREATE INDEX by_phone ON Table1(\"Phone Number\");"
                                                      "INSERT INTO Table1 VALUES ('Ann', 'Elm', '+4930', X'FF00', NULL, "
                                                      "'', '', '');"
                                                      "INSERT INTO Table1 VALUES ('Émile', NULL, 'Rue', 1.5, 'x', '', "
                                                      "'', '');"
                                                      "DELETE FROM Table1 WHERE rowid = 1;"
                                                      "INSERT INTO Table1 VALUES ('Cy', 'Oak', 7, NULL, '', '', '', "
                                                      "'');")),
                 QString());
        Recordset records;
        QVERIFY(records.open(m_path));
        QVERIFY(records.AddNew());
        records.setValue(ContactField::Name, QStringLiteral("Dora"));
        records.setValue(ContactField::PhoneNumber, QStringLiteral("007"));
        QVERIFY(!records.Update());
        QVERIFY(records.CancelUpdate());
        const QList<StoredRecord> before = storedRecords(m_path);
        const QString rowids = sqliteShell(m_path, QStringLiteral("SELECT group_concat(rowid) FROM Table1;")).output;

        QByteArray said;
        QCOMPARE(runTool(m_path, {QStringLiteral("convert-columns")}, said), int(MerivoTool::Success));
        QVERIFY2(said.contains("\"Phone Number\" (INTEGER)"), said.constData());
        const QStringList kept = QDir(DatabaseBackup::backupFolder(m_path)).entryList({QStringLiteral("db2-before-convert-*")});
        QCOMPARE(kept.size(), 1);
        QVERIFY(storedRecords(DatabaseBackup::backupFolder(m_path) + u'/' + kept.first()) == before);

        QVERIFY(storedRecords(m_path) == before);
        QCOMPARE(sqliteShell(m_path, QStringLiteral("SELECT group_concat(rowid) FROM Table1;")).output, rowids);
        QCOMPARE(sqliteShell(m_path, QStringLiteral("SELECT group_concat(name) FROM (SELECT name FROM sqlite_schema "
                                                    "WHERE tbl_name = 'Table1' AND name IN ('logged', 'by_phone', "
                                                    "'merivo_name_folded') ORDER BY name);"))
                     .output,
                 QStringLiteral("by_phone,logged,merivo_name_folded"));
        QCOMPARE(sqliteShell(m_path, QStringLiteral("PRAGMA integrity_check;")).output, QStringLiteral("ok"));

        QVERIFY(records.FindFirst(QStringLiteral("name= 'ÉMILE '")));
        QVERIFY(!records.NoMatch());
        QVERIFY(records.AddNew());
        records.setValue(ContactField::Name, QStringLiteral("Dora"));
        records.setValue(ContactField::PhoneNumber, QStringLiteral("007"));
        QVERIFY2(records.Update(), qPrintable(records.lastError()));
        QCOMPARE(storedRecords(m_path).last()[fieldIndex(ContactField::PhoneNumber)], StoredValue::fromText(QStringLiteral("007")));
        QCOMPARE(sqliteShell(m_path, QStringLiteral("SELECT count(*) FROM log;")).output, QStringLiteral("4"));

        // Done once; again, nothing to do and no copy.
        QCOMPARE(runTool(m_path, {QStringLiteral("convert-columns")}, said), int(MerivoTool::Success));
        QVERIFY2(said.contains("nothing was changed"), said.constData());
        QCOMPARE(QDir(DatabaseBackup::backupFolder(m_path)).entryList({QStringLiteral("db2-*")}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestColumnTypes)
#include "tst_columntypes.moc"
