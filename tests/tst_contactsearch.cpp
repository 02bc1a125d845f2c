// How Find reads its criterion and compares names.

#include "NameFoldingCases.h"

#include "contacts/FindCriterion.h"
#include "contacts/NameKey.h"

#include <QTest>

class TestContactSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void acceptedCriteria_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");

        const int name = fieldIndex(ContactField::Name);
        QTest::newRow("as the add form writes it") << "Name= 'abc '" << name << "abc ";
        QTest::newRow("as the other forms write it") << "name= 'abc '" << name << "abc ";
        QTest::newRow("field in capitals, no blanks") << "NAME='abc'" << name << "abc";
        QTest::newRow("blanks everywhere") << "  Name  =  'abc'   " << name << "abc";
        QTest::newRow("bracketed field") << "[nAmE]= 'abc'" << name << "abc";
        QTest::newRow("field with a blank") << "phone number= '12'" << fieldIndex(ContactField::PhoneNumber) << "12";
        QTest::newRow("bracketed field with a blank") << "[Office Address]='x'" << fieldIndex(ContactField::OfficeAddress) << "x";
        QTest::newRow("doubled apostrophe") << "Name= 'O''Brien '" << name << "O'Brien ";
        QTest::newRow("only an apostrophe") << "Name= ''''" << name << "'";
        QTest::newRow("empty text") << "Name= ''" << name << "";
        QTest::newRow("blanks only") << "Name= '   '" << name << "   ";
        QTest::newRow("SQL-looking text stays text") << "Name= 'a'' OR ''1''=''1'" << name << "a' OR '1'='1";
        QTest::newRow("brackets and = inside the text") << "Name= '[a]=b'" << name << "[a]=b";
        QTest::newRow("letters of other alphabets") << "Name= 'Émile Σ'" << name << "Émile Σ";
    }

    void acceptedCriteria()
    {
        QFETCH(QString, criterion);
        QFETCH(int, field);
        QFETCH(QString, text);

        const FindCriterionParse parsed = parseFindCriterion(criterion);
        QVERIFY2(parsed.criterion, qPrintable(parsed.error));
        QCOMPARE(fieldIndex(parsed.criterion->field), field);
        QCOMPARE(parsed.criterion->text, text);
    }

    void refusedCriteria_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<QString>("saying");

        QTest::newRow("empty") << "" << "empty";
        QTest::newRow("blanks") << "   " << "empty";
        QTest::newRow("field only") << "Name" << "\"=\"";
        QTest::newRow("no equals sign") << "Name 'abc'" << "\"=\"";
        QTest::newRow("other operator") << "Name >= 'abc'" << "\"=\"";
        QTest::newRow("doubled equals sign") << "Name== 'abc'" << "apostrophes";
        QTest::newRow("no field") << "= 'abc'" << "field name";
        QTest::newRow("unknown field") << "Fax= 'abc'" << "\"Fax\"";
        QTest::newRow("text without apostrophes") << "Name= abc" << "apostrophes";
        QTest::newRow("double quotes") << "Name= \"abc\"" << "apostrophes";
        QTest::newRow("unclosed text") << "Name= 'abc" << "closing apostrophe";
        QTest::newRow("unclosed bracket") << "[Name= 'abc'" << "\"]\"";
        QTest::newRow("apostrophe not doubled") << "name= 'O'Brien '" << "Brien";
        QTest::newRow("text after the literal") << "Name= 'a' OR 1=1" << "OR 1=1";
        QTest::newRow("second statement") << "Name= 'a'; DROP TABLE Table1" << "DROP TABLE";
    }

    void refusedCriteria()
    {
        QFETCH(QString, criterion);
        QFETCH(QString, saying);

        const FindCriterionParse parsed = parseFindCriterion(criterion);
        QVERIFY(!parsed.criterion);
        QVERIFY2(parsed.error.contains(saying), qPrintable(parsed.error));
        QVERIFY2(parsed.error.contains(criterion), "the message quotes the criterion");
    }

    void nameMatching_data() { addNameFoldingRows(); }

    void nameMatching()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, matches);

        QCOMPARE(nameKey(stored) == nameKey(typed), matches);
    }
};

QTEST_GUILESS_MAIN(TestContactSearch)
#include "tst_contactsearch.moc"
