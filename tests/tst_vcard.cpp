// Reading vCards of every version and of other programs, and writing ones
// that other programs read.

#include "TransferTestTools.h"

#include "tool/ContactFields.h"
#include "tool/VCardMapping.h"
#include "tool/VCardParser.h"
#include "tool/VCardWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The contacts of a vCard text, each as its eight fields joined by '|',
// one a line; a card without a name shows as "(no name)".
struct Mapped
{
    QString contacts;
    QString notKept;
    QString error;
};

Mapped mapAll(const QByteArray &text)
{
    Mapped result;
    NotKept notKept;
    QStringList contacts;
    VCardParser parser;
    const bool ok = parser.parse(text, [&](const VCard &card) {
        ContactTexts values;
        if (!VCardMapping::map(card, values, notKept)) {
            contacts.append(QStringLiteral("(no name)"));
            return true;
        }
        QStringList fields;
        for (const QByteArray &value : values)
            fields.append(QString::fromUtf8(value));
        contacts.append(fields.join(QLatin1Char('|')));
        return true;
    });
    if (!ok)
        result.error = parser.error();
    result.contacts = contacts.join(QLatin1Char('\n'));
    QStringList lost;
    for (const auto &[name, count] : notKept.entries())
        lost.append(QStringLiteral("%1 %2").arg(name).arg(count));
    result.notKept = lost.join(QStringLiteral(", "));
    return result;
}

QByteArray crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

QByteArray written(const ContactList &contacts, VCardWriter::Version version)
{
    const VCardWriter writer(version);
    QByteArray out;
    for (const ContactValues &values : contacts) {
        const ContactTexts texts = utf8(values);
        ContactFieldViews views;
        for (int i = 0; i < ContactFieldCount; ++i)
            views[i] = texts[i];
        writer.append(views, out);
    }
    return out;
}

} // namespace

class TestVCard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsCardsOfEveryVersion_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("contacts");
        QTest::addColumn<QString>("notKept");

        QTest::newRow("2.1 quoted-printable UTF-8, soft line break, home and cell phone")
            << crlf("BEGIN:VCARD\nVERSION:2.1\n"
                    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;\n"
                    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller\n"
                    "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;Hauptstra=C3=9Fe 1=0A=\nHinterhaus;Berlin;;10115;\n"
                    "TEL;CELL:0170 1\nTEL;HOME;VOICE:030 1234\nEND:VCARD\n")
            << QStringLiteral("Jürgen Müller|Hauptstraße 1\nHinterhaus, Berlin, 10115|030 1234|||||")
            << QStringLiteral("TEL 1");
        QTest::newRow("2.1 quoted-printable Latin-1, bare parameters")
            << crlf("BEGIN:VCARD\nVERSION:2.1\n"
                    "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Fran=E7ois L=E9vesque\n"
                    "TITLE;QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Ing=E9nieur =3D chef\n"
                    "TEL;WORK;FAX:1\nTEL;WORK;VOICE;PREF:2\nEND:VCARD\n")
            << QStringLiteral("François Lévesque|||Ingénieur = chef||2||") << QStringLiteral("TEL 1");
        QTest::newRow("2.1 Latin-1 bytes without a charset, no VERSION")
            << QByteArray("BEGIN:VCARD\nFN:Ren\xe9 Ch\xe2teau\nEMAIL;INTERNET:r@x\nEND:VCARD\n")
            << QStringLiteral("René Château||||||r@x|") << QString();
        QTest::newRow("3.0 folded lines, escapes, typed addresses")
            << crlf("BEGIN:VCARD\nVERSION:3.0\nFN:Smith\\, John\\; PhD\nN:Smith;John;;;\n"
                    "ADR;TYPE=WORK,POSTAL:;Suite 5;1 Main St\\, Rear;Spring\n field;IL;62704;USA\n"
                    "ADR;TYPE=HOME:;;2 Elm St;;;;\nTEL;TYPE=WORK,VOICE:555 1\nTITLE:A\\nB\\\\C\n"
                    "EMAIL;TYPE=INTERNET:s@x\nNOTE:hello\nBDAY:1970-01-01\nEND:VCARD\n")
            << QStringLiteral("Smith, John; PhD|2 Elm St||A\nB\\C|Suite 5, 1 Main St, Rear, Springfield, IL 62704, USA|"
                              "555 1|s@x|")
            << QStringLiteral("NOTE 1, BDAY 1");
        QTest::newRow("4.0 preference, tel: URIs, quoted parameter lists")
            << crlf("BEGIN:VCARD\nVERSION:4.0\nFN:Ann Lee\nTEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-0100\n"
                    "EMAIL;PREF=2:second@x\nEMAIL;PREF=1:first@x\nURL:https://x.org/\nTITLE:Boss\nROLE:Lead\n"
                    "KIND:individual\nEND:VCARD\n")
            << QStringLiteral("Ann Lee||+1-555-0100|Boss|||first@x|https://x.org/") << QStringLiteral("KIND 1, EMAIL 1, ROLE 1");
        QTest::newRow("several cards; names from N and from ORG; one without a name")
            << crlf("BEGIN:VCARD\nVERSION:3.0\nN:Doe;John;Q;Dr.;Jr.\nEND:VCARD\n\n"
                    "BEGIN:VCARD\nVERSION:3.0\nFN:\nORG:Acme\\, Inc.;Sales\nTEL:1\nEND:VCARD\n"
                    "BEGIN:VCARD\nVERSION:4.0\nEMAIL:nobody@x\nEND:VCARD\n")
            << QStringLiteral("Dr. John Q Doe Jr.|||||||\nAcme, Inc., Sales||1|||||\n(no name)") << QString();
        QTest::newRow("grouped properties, nested AGENT card, UTF-8 byte order mark")
            << crlf("\xEF\xBB\xBF" "BEGIN:VCARD\nVERSION:2.1\nFN:Grace\nitem1.EMAIL;type=INTERNET:g@x\n"
                    "item1.X-ABLabel:_$!<Work>!$_\nAGENT:\nBEGIN:VCARD\nFN:Secretary\nTEL:9\nEND:VCARD\nEND:VCARD\n")
            << QStringLiteral("Grace||||||g@x|") << QStringLiteral("X-ABLABEL 1, AGENT 1");
    }

    void readsCardsOfEveryVersion()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, contacts);
        QFETCH(QString, notKept);
        const Mapped mapped = mapAll(text);
        QCOMPARE(mapped.error, QString());
        QCOMPARE(mapped.contacts, contacts);
        QCOMPARE(mapped.notKept, notKept);
    }

    void refusesBrokenStructureNamingTheLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("card never ended") << QByteArray("BEGIN:VCARD\nFN:A\nEND:VCARD\nBEGIN:VCARD\nFN:B\n")
                                          << QStringLiteral("line 4: the vCard that begins here has no END:VCARD");
        QTest::newRow("line without a colon") << QByteArray("BEGIN:VCARD\nFN:A\nthis is not a property\nEND:VCARD\n")
                                              << QStringLiteral("line 3: a line without a colon");
        QTest::newRow("text between cards") << QByteArray("BEGIN:VCARD\nFN:A\nEND:VCARD\ngarbage\n")
                                            << QStringLiteral("line 4: text outside of a vCard");
        QTest::newRow("end without begin") << QByteArray("END:VCARD\n")
                                           << QStringLiteral("line 1: END:VCARD without BEGIN:VCARD");
        QTest::newRow("another kind of object") << QByteArray("BEGIN:VCALENDAR\nEND:VCALENDAR\n")
                                                << QStringLiteral("line 1: BEGIN:VCALENDAR where a vCard was expected");
    }

    void refusesBrokenStructureNamingTheLine()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QCOMPARE(mapAll(text).error, error);
    }

    void writtenCardsReadBackUnchanged_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("4.0") << int(VCardWriter::Version::V4);
        QTest::newRow("3.0") << int(VCardWriter::Version::V3);
    }

    void writtenCardsReadBackUnchanged()
    {
        QFETCH(int, version);
        const ContactList contacts = awkwardContacts();
        const QByteArray text = written(contacts, VCardWriter::Version(version));

        // Folded at 75 bytes, never inside a character.
        for (const QByteArray &line : text.split('\n')) {
            QVERIFY2(line.size() <= 76, line.constData());
            QVERIFY(QString::fromUtf8(line).toUtf8() == line);
        }
        QStringList expected;
        for (const ContactValues &values : contacts)
            expected.append(joinedFields(values));
        const Mapped mapped = mapAll(text);
        QCOMPARE(mapped.error, QString());
        QCOMPARE(mapped.contacts, expected.join(QLatin1Char('\n')));
        QCOMPARE(mapped.notKept, QString());
    }

    void carriageReturnsBecomeLineBreaks()
    {
        const QByteArray text = written({contact({QStringLiteral("A"), QStringLiteral("x\r\ny\rz")})},
                                        VCardWriter::Version::V4);
        QVERIFY(text.contains("ADR;TYPE=home:;;x\\ny\\nz;;;;\r\n"));
    }

    void otherProgramsReadOurCards_data() { writtenCardsReadBackUnchanged_data(); }

    void otherProgramsReadOurCards()
    {
        QFETCH(int, version);
        const QString python = pythonWithVobject();
        if (python.isEmpty())
            QSKIP("Python's vobject (Debian python3-vobject) is not installed");
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("cards.vcf"));
        const ContactList contacts = awkwardContacts();
        QVERIFY(writeFile(file, written(contacts, VCardWriter::Version(version))));

        const QString script = QStringLiteral(
            "import json, sys, vobject\n"
            "cards = []\n"
            "for card in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):\n"
            "    fields = [''] * 8\n"
            "    def first(name):\n"
            "        return card.contents[name][0].value if name in card.contents else ''\n"
            "    fields[0], fields[3], fields[6], fields[7] = first('fn'), first('title'), first('email'), first('url')\n"
            "    for adr in card.contents.get('adr', []):\n"
            "        fields[4 if 'work' in [t.lower() for t in adr.params.get('TYPE', [])] else 1] = adr.value.street\n"
            "    for tel in card.contents.get('tel', []):\n"
            "        fields[5 if 'work' in [t.lower() for t in tel.params.get('TYPE', [])] else 2] = tel.value\n"
            "    cards.append(fields)\n"
            "print(json.dumps(cards))\n");
        QProcess process;
        process.start(python, {QStringLiteral("-c"), script, file});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        const QJsonArray cards = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
        QCOMPARE(cards.size(), contacts.size());
        for (qsizetype i = 0; i < cards.size(); ++i) {
            QStringList fields;
            for (const QJsonValue &field : cards.at(i).toArray())
                fields.append(field.toString());
            QCOMPARE(fields.join(QLatin1Char('|')), joinedFields(contacts.at(i)));
        }
    }

    void readsCardsThatAbookWrites()
    {
        const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
        if (abook.isEmpty())
            QSKIP("abook is not installed");
        QTemporaryDir dir;
        const auto convert = [&](const QString &informat, const QByteArray &input) {
            const QString in = dir.filePath(QStringLiteral("in.") + informat);
            const QString out = dir.filePath(QStringLiteral("out-%1.vcf").arg(informat));
            writeFile(in, input);
            QProcess process;
            process.start(abook, {QStringLiteral("--convert"), QStringLiteral("--informat"), informat,
                                  QStringLiteral("--infile"), in, QStringLiteral("--outformat"), QStringLiteral("vcard"),
                                  QStringLiteral("--outfile"), out});
            process.waitForFinished(30000);
            return readFile(out);
        };

        // abook's CSV is name, e-mail, phone, notes, nick.
        Mapped mapped = mapAll(convert(QStringLiteral("csv"), "\"Jane Doe\",\"jane@example.org\",\"555 0100\",\"met at FOSDEM\",\"jd\"\n"
                                                              "\"Ørjan Ås\",\"orjan@example.no\",\"\",\"\",\"\"\n"));
        QCOMPARE(mapped.error, QString());
        QCOMPARE(mapped.contacts, QStringLiteral("Jane Doe||555 0100||||jane@example.org|\n"
                                                 "Ørjan Ås||||||orjan@example.no|"));
        QVERIFY(mapped.notKept.contains(QStringLiteral("NOTE 1")));

        // Its own format carries addresses, work phones and web pages.
        mapped = mapAll(convert(QStringLiteral("abook"), "[format]\nprogram=abook\nversion=0.6.1\n\n[0]\nname=Max Mustermann\n"
                                                         "email=max@example.de,m2@example.de\naddress=Hauptstr. 1\n"
                                                         "city=Köln\nzip=50667\ncountry=Germany\nphone=0221 1\n"
                                                         "workphone=0221 2\nmobile=0170 3\nurl=https://max.example.de\n"));
        QCOMPARE(mapped.error, QString());
        QCOMPARE(mapped.contacts, QStringLiteral("Max Mustermann|Hauptstr. 1, Köln, 50667, Germany|0221 1|||0221 2|"
                                                 "max@example.de|https://max.example.de"));
        QCOMPARE(mapped.notKept, QStringLiteral("TEL 1, EMAIL 1"));
    }
};

QTEST_GUILESS_MAIN(TestVCard)
#include "tst_vcard.moc"
