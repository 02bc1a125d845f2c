#pragma once

// The names Find must take for one, and must keep apart, in one table: for
// the folding itself (tst_contactsearch) and for Find through the store in
// every state of its name keys (tst_recordset).

#include <QString>
#include <QTest>

inline void addNameFoldingRows()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("matches");

    QTest::newRow("ASCII case") << "Ann Lee" << "aNN lEE" << true;
    QTest::newRow("trailing blanks on both sides") << "abc  " << "abc " << true;
    QTest::newRow("leading blanks count") << "  abc" << "abc" << false;
    QTest::newRow("inner blanks count") << "a b" << "ab" << false;
    QTest::newRow("a tab is not a blank") << "abc\t" << "abc" << false;
    QTest::newRow("blanks only match an empty name") << "" << "   " << true;
    QTest::newRow("accented capital") << "Émile" << "émile" << true;
    QTest::newRow("accented small letters typed in capitals") << "émile zola" << "ÉMILE ZOLA" << true;
    QTest::newRow("accent on a small letter, capital initial") << "Zoë" << "ZOË" << true;
    QTest::newRow("decomposed accent") << "E\u0301mile" << "émile" << true;
    QTest::newRow("other accent") << "Émile" << "èmile" << false;
    QTest::newRow("Greek with final sigma") << "ΣΊΣΥΦΟΣ" << "σίσυφος" << true;
    QTest::newRow("Cyrillic") << "МОСКВА" << "москва" << true;
    QTest::newRow("sharp s") << "Straße" << "STRASSE" << true;
    QTest::newRow("capital sharp s") << "STRAẞE" << "straße" << true;
    QTest::newRow("title-case digraph") << "ǅemal" << "ǆemal" << true;
    QTest::newRow("dotless i stays apart") << "ı" << "i" << false;
    QTest::newRow("apostrophe") << "O'Brien" << "o'brien" << true;
    QTest::newRow("no case: Han") << "李小龍" << "李小龍 " << true;
    QTest::newRow("no case: Hangul syllables and jamo") << "한국" << "\u1112\u1161\u11ab\u1100\u116e\u11a8" << true;
    QTest::newRow("beyond the Basic Multilingual Plane") << "𐐀 Deseret" << "𐐨 deseret" << true;
}
