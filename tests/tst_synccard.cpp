// The pieces of sync that read what a server sends: a card changed only in
// the properties of the field that changed, and WebDAV multistatus answers.

#include "TransferTestTools.h"

#include "sync/DavXml.h"
#include "sync/SyncCard.h"

#include <QTest>

class TestSyncCard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setChangesOnlyThatField_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray photo = "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk\r\n"
                                 " +M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\n";
        const QByteArray head = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:1\r\nFN:Ann Smith\r\nN:Smith;Ann;;;\r\n";
        const auto row = [](const char *name, const QByteArray &card, ContactField field, const char *value,
                            const QByteArray &expected) {
            QTest::newRow(name) << card << fieldIndex(field) << QString::fromUtf8(value) << expected;
        };
        row("phone; photo, groups, unknown lines as they were", head + photo + "TEL;TYPE=HOME:1\r\nitem1.X-ABLABEL:x\r\nEND:VCARD\r\n",
            ContactField::PhoneNumber, "+1 777", head + photo + "TEL;TYPE=HOME:+1 777\r\nitem1.X-ABLABEL:x\r\nEND:VCARD\r\n");
        row("LF line ends kept", "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\nTITLE:Cook\nNOTE:x\nEND:VCARD\n", ContactField::Position,
            "Chef", "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\nTITLE:Chef\r\nNOTE:x\nEND:VCARD\n");
        row("address whole in the street component", head + "ADR;TYPE=home:;;1 Elm;Town;;12;\r\nEND:VCARD\r\n",
            ContactField::Address, "2 Oak, Ville", head + "ADR;TYPE=home:;;2 Oak\\, Ville;;;;\r\nEND:VCARD\r\n");
        row("tel: address kept", head + "TEL;VALUE=uri;TYPE=home:tel:+1-555\r\nEND:VCARD\r\n", ContactField::PhoneNumber,
            "+1 777", head + "TEL;VALUE=uri;TYPE=home:tel:+1 777\r\nEND:VCARD\r\n");
        row("old encoding dropped", "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nEMAIL;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=40b\r\nEND:VCARD\r\n",
            ContactField::EmailAddress, "ann@example.org",
            "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nEMAIL:ann@example.org\r\nEND:VCARD\r\n");
        row("quoted-printable soft line breaks belong to the value",
            "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=\r\nb\r\nTITLE;QUOTED-PRINTABLE:Co=\r\nok\r\nEND:VCARD\r\n",
            ContactField::Position, "Chef",
            "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=\r\nb\r\nTITLE:Chef\r\nEND:VCARD\r\n");
        row("emptied: the property goes, folded lines too", head + "ADR;TYPE=home:;;a long street that goes on\r\n  and on;;;;\r\nNOTE:x\r\nEND:VCARD\r\n",
            ContactField::Address, "", head + "NOTE:x\r\nEND:VCARD\r\n");
        row("new property, vCard 4.0 types", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann\r\nEND:VCARD\r\n", ContactField::OfficePhoneNumber,
            "+1 9", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann\r\nTEL;TYPE=work:+1 9\r\nEND:VCARD\r\n");
        row("the name: FN and N", head + "END:VCARD\r\n", ContactField::Name, "Ann Jones",
            "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:1\r\nFN:Ann Jones\r\nN:Jones;Ann;;;\r\nEND:VCARD\r\n");
        row("a name read from ORG gets an FN", "BEGIN:VCARD\r\nVERSION:3.0\r\nORG:Acme;Sales\r\nEND:VCARD\r\n", ContactField::Name,
            "Acme Ltd", "BEGIN:VCARD\r\nVERSION:3.0\r\nORG:Acme;Sales\r\nFN:Acme Ltd\r\nN:Ltd;Acme;;;\r\nEND:VCARD\r\n");
        row("group and parameters kept", head + "item1.EMAIL;TYPE=INTERNET:a@b\r\nitem1.X-ABLABEL:private\r\nEND:VCARD\r\n",
            ContactField::EmailAddress, "c@d", head + "item1.EMAIL;TYPE=INTERNET:c@d\r\nitem1.X-ABLABEL:private\r\nEND:VCARD\r\n");
        row("the preferred one of two", head + "TEL;TYPE=home:1\r\nTEL;TYPE=home;PREF=1:2\r\nEND:VCARD\r\n",
            ContactField::PhoneNumber, "3", head + "TEL;TYPE=home:1\r\nTEL;TYPE=home;PREF=1:3\r\nEND:VCARD\r\n");
        row("escaped and folded", head + "NOTE:x\r\nEND:VCARD\r\n", ContactField::Position,
            "a, b; c\nd \\ " + QByteArray(70, 'e'),
            head + "NOTE:x\r\nTITLE:a\\, b\\; c\\nd \\\\ " + QByteArray(53, 'e') + "\r\n " + QByteArray(17, 'e') + "\r\nEND:VCARD\r\n");
    }

    void setChangesOnlyThatField()
    {
        QFETCH(QByteArray, card);
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QByteArray, expected);
        std::optional<SyncCard> read = SyncCard::read(card);
        QVERIFY(read);
        const ContactValues before = read->values();
        read->set(ContactField(field), value);
        QCOMPARE(read->bytes(), expected);
        // It reads back as set, every other field as before.
        ContactValues after = before;
        after[field] = value;
        QCOMPARE(read->values(), after);
    }

    void keepAlsoNeverTakesOverTheField()
    {
        std::optional<SyncCard> card = SyncCard::read("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nTEL;TYPE=CELL:5\r\n"
                                                      "TEL;TYPE=HOME,PREF;X-A=\"a:b\":1\r\nEND:VCARD\r\n");
        QVERIFY(card);
        card->keepAlso(ContactField::PhoneNumber, QStringLiteral("2"));
        card->keepAlso(ContactField::Name, QStringLiteral("Anne"));
        QCOMPARE(card->bytes(), QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nTEL;TYPE=CELL:5\r\n"
                                           "TEL;TYPE=HOME,PREF;X-A=\"a:b\":1\r\nTEL;TYPE=HOME;X-A=\"a:b\":2\r\n"
                                           "NOTE:Also named: Anne\r\nEND:VCARD\r\n"));
        QCOMPARE(card->values()[fieldIndex(ContactField::PhoneNumber)], QStringLiteral("1"));
    }

    // Every field of awkward contacts goes onto a new card and back.
    void createdCardsReadBack()
    {
        for (const ContactValues &values : awkwardContacts()) {
            const SyncCard card = SyncCard::create(values, QStringLiteral("uid-1"));
            QVERIFY(card.bytes().contains("\r\nUID:uid-1\r\n"));
            QCOMPARE(card.values(), values);
        }
        QVERIFY(!SyncCard::read("not a card"));
        QVERIFY(!SyncCard::read("BEGIN:VCARD\r\nFN:Ann\r\n"));
    }

    void multistatus_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QStringList>("found"); // path|status|etag|card
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("truncated");

        QTest::newRow("sync-collection, hrefs of every form")
            << QByteArray("<?xml version='1.0'?><d:multistatus xmlns:d='DAV:' xmlns:c='urn:ietf:params:xml:ns:carddav'>"
                          "<d:response><d:href>/ann/book/a%20b.vcf</d:href><d:propstat><d:prop><d:getetag>\"1\"</d:getetag>"
                          "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                          "<d:response><d:href>http://127.0.0.1:5232/ann/book/c.vcf</d:href><d:status>HTTP/1.1 404 Not Found</d:status></d:response>"
                          "<d:response><d:href>https://elsewhere.example/ann/book/d.vcf</d:href><d:status>HTTP/1.1 200 OK</d:status></d:response>"
                          "<d:response><d:href>e.vcf</d:href><d:propstat><d:prop><d:getetag>\"9\"</d:getetag></d:prop>"
                          "<d:status>HTTP/1.1 404 Not Found</d:status></d:propstat></d:response>"
                          "<d:sync-token>http://radicale/sync/7</d:sync-token></d:multistatus>")
            << QStringList{QStringLiteral("/ann/book/a b.vcf|0|\"1\"|"), QStringLiteral("/ann/book/c.vcf|404||"),
                           QStringLiteral("/ann/book/e.vcf|0||")}
            << QStringLiteral("http://radicale/sync/7") << false;
        QTest::newRow("multiget, cards with CR LF again")
            << QByteArray("<multistatus xmlns='DAV:'><response><href>/ann/book/a.vcf</href><propstat><prop>"
                          "<getetag>\"2\"</getetag><address-data xmlns='urn:ietf:params:xml:ns:carddav'>BEGIN:VCARD\r\n"
                          "FN:A &amp; B\nEND:VCARD\n</address-data><unknown/></prop><status>HTTP/1.1 200 OK</status></propstat>"
                          "</response></multistatus>")
            << QStringList{QStringLiteral("/ann/book/a.vcf|0|\"2\"|BEGIN:VCARD\r\nFN:A & B\r\nEND:VCARD\r\n")} << QString() << false;
        QTest::newRow("answered in parts")
            << QByteArray("<multistatus xmlns='DAV:'><response><href>/ann/book/</href><status>HTTP/1.1 507 Insufficient Storage"
                          "</status></response><sync-token>t2</sync-token></multistatus>")
            << QStringList() << QStringLiteral("t2") << true;
    }

    void multistatus()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QStringList, found);
        QFETCH(QString, token);
        QFETCH(bool, truncated);
        DavMultistatus answer;
        QString error;
        QVERIFY2(DavXml::parseMultistatus(xml, QUrl(QStringLiteral("http://127.0.0.1:5232/ann/book/")), answer, &error),
                 qPrintable(error));
        QStringList seen;
        for (const DavResource &resource : answer.resources) {
            seen.append(QStringLiteral("%1|%2|%3|%4").arg(resource.path).arg(resource.status)
                            .arg(QString::fromUtf8(resource.etag), QString::fromUtf8(resource.addressData)));
        }
        QCOMPARE(seen, found);
        QCOMPARE(answer.syncToken, token);
        QCOMPARE(answer.truncated, truncated);
    }

    void malformedAnswersAreRefused_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("HTML") << QByteArray("<html><body>Login</body></html>");
        QTest::newRow("cut short") << QByteArray("<multistatus xmlns='DAV:'><response><href>/a");
        QTest::newRow("not XML") << QByteArray("BEGIN:VCARD");
    }

    void malformedAnswersAreRefused()
    {
        QFETCH(QByteArray, xml);
        DavMultistatus answer;
        QString error;
        QVERIFY(!DavXml::parseMultistatus(xml, QUrl(QStringLiteral("http://127.0.0.1/")), answer, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSyncCard)
#include "tst_synccard.moc"
