// Import and export against a real contact database: round trips, all or
// nothing, duplicates, names found afterwards, CSV from other programs and
// the databases of older address books.

#include "ContactTestTools.h"
#include "TransferTestTools.h"

#include "contacts/LegacyDatabaseFile.h"
#include "contacts/Recordset.h"
#include "tool/ContactExport.h"
#include "tool/ContactImport.h"
#include "tool/Utf8Text.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

QStringList joinedRows(const ContactList &rows)
{
    QStringList joined;
    for (const ContactValues &values : rows)
        joined.append(joinedFields(values));
    return joined;
}

QString notKeptText(const ImportReport &report)
{
    QStringList parts;
    for (const auto &[name, count] : report.notKept.entries())
        parts.append(QStringLiteral("%1 %2").arg(name).arg(count));
    return parts.join(QStringLiteral(", "));
}

QByteArray vcards(int count, int from = 0)
{
    QByteArray text;
    for (int i = from; i < from + count; ++i)
        text += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person %1\r\nTEL;TYPE=HOME:%1\r\nEND:VCARD\r\n")
                    .arg(i)
                    .toUtf8();
    return text;
}

// A file that begins as a Jet database does; the rest is not needed, since
// mdb-export itself is replaced by a script in these tests.
QByteArray legacySignature()
{
    return QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2028, '\0');
}

QByteArray inUtf16(const QString &text, QSysInfo::Endian endian, bool byteOrderMark)
{
    QByteArray bytes;
    for (const QChar c : (byteOrderMark ? QString(QChar(0xFEFF)) : QString()) + text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xff);
        bytes.append(endian == QSysInfo::LittleEndian ? low : high).append(endian == QSysInfo::LittleEndian ? high : low);
    }
    return bytes;
}

// Values as other programs store them: any bytes as text, a BLOB, a NUL
// inside a text, a number.
const char *const ForeignValues =
    "INSERT INTO Table1 VALUES (CAST(X'4AE9726F6D65' AS TEXT), X'FF00FE', CAST(X'41004200' AS TEXT), 42, "
    "'=HYPERLINK(\"http://x\")', '+49 30 1', '@home', '-5');";

} // namespace

class TestContactTransfer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_count = 0;

    QString freshPath(const QString &name)
    {
        return m_dir.filePath(QStringLiteral("%1-%2").arg(++m_count).arg(name));
    }

    // Exports the database; the exporter tells what it did.
    static QByteArray exported(ContactExport &exporter, const QString &database, ContactExport::Format format)
    {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        return exporter.run(database, format, out) ? out.data() : QByteArray();
    }

    QString importInto(const QString &database, const QByteArray &contents, ImportReport *report = nullptr,
                       ContactImport::Format format = ContactImport::Format::Detect)
    {
        const QString file = freshPath(QStringLiteral("input"));
        writeFile(file, contents);
        ContactImport import;
        const bool ok = import.run(file, database, format);
        if (report)
            *report = import.report();
        return ok ? QString() : import.lastError();
    }

private Q_SLOTS:
    void exportThenImportGivesTheSameRows_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("vCard 4.0") << int(ContactExport::Format::VCard4);
        QTest::newRow("vCard 3.0") << int(ContactExport::Format::VCard3);
        QTest::newRow("CSV") << int(ContactExport::Format::Csv);
    }

    void exportThenImportGivesTheSameRows()
    {
        QFETCH(int, format);
        ContactList contacts = awkwardContacts();
        if (format == int(ContactExport::Format::Csv)) // CSV keeps even carriage returns
            contacts.append(contact({QStringLiteral("CR"), QStringLiteral("a\r\nb\rc")}));
        const QString source = freshPath(QStringLiteral("source.mdb"));
        QVERIFY(storeContacts(source, contacts));

        ContactExport exporter;
        const QByteArray text = exported(exporter, source, ContactExport::Format(format));
        QVERIFY2(exporter.lastError().isEmpty(), qPrintable(exporter.lastError()));
        QCOMPARE(exporter.count(), contacts.size());

        const QString target = freshPath(QStringLiteral("target.mdb"));
        ImportReport report;
        QCOMPARE(importInto(target, text, &report), QString());
        QCOMPARE(report.added, contacts.size());
        QCOMPARE(notKeptText(report), QString());
        QCOMPARE(joinedRows(storedContacts(target)), joinedRows(contacts));
    }

    void exportNeverCreatesADatabase()
    {
        const QString missing = freshPath(QStringLiteral("missing.mdb"));
        ContactExport exporter;
        QCOMPARE(exported(exporter, missing, ContactExport::Format::Csv), QByteArray());
        QVERIFY(exporter.lastError().contains(missing));
        QVERIFY(!QFileInfo::exists(missing));
    }

    void aBrokenFileLeavesTheDatabaseAsItWas_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("error");
        QTest::newRow("vCard cut off in the middle")
            << vcards(50) + "BEGIN:VCARD\r\nFN:Broken\r\n" + vcards(50, 100).replace("BEGIN:VCARD", "BEGIN:VCARDX")
            << QStringLiteral("line 253: BEGIN:VCARDX where a vCard was expected");
        QTest::newRow("vCard with a damaged line")
            << vcards(50) + "BEGIN:VCARD\r\nFN:Broken\r\nno colon here\r\nEND:VCARD\r\n" + vcards(50, 100)
            << QStringLiteral("line 253: a line without a colon");
        QByteArray csv = "Name,Phone Number\r\n";
        for (int i = 0; i < 50; ++i)
            csv += "Person " + QByteArray::number(i) + ",1\r\n";
        QTest::newRow("CSV with text after a closing quote")
            << csv + "\"Broken\"x,1\r\nLast,2\r\n" << QStringLiteral("line 52: text after the closing quote");
        QTest::newRow("CSV without a name column") << QByteArray("colour,size\r\nred,2\r\n")
                                                   << QStringLiteral("no column that holds a contact's name");
        QTest::newRow("CSV with a quote never closed") << csv + "\"Broken,1\r\nLast,2\r\n"
                                                       << QStringLiteral("a quoted field is not closed");
        // No contact holds a NUL or a value of more than 1 MiB; an empty
        // error: the file is imported.
        const QByteArray mebibyte(ContactImport::MaxValueBytes, 'x');
        QTest::newRow("CSV, NUL in a field") << QByteArray("Name,Address\r\nAnn,1\r\nBo,2 Wa") + '\0' + "y\r\n"
                                              << QStringLiteral("line 3: a NUL character");
        QTest::newRow("CSV in UTF-16, NUL in a field")
            << inUtf16(QStringLiteral("Name\r\nAnn\r\nB") + QChar(0) + QStringLiteral("o\r\n"), QSysInfo::LittleEndian, true)
            << QStringLiteral("line 3: a NUL character");
        QTest::newRow("vCard, quoted-printable NUL")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
                          "FN:Bo\r\nTEL;HOME;ENCODING=QUOTED-PRINTABLE:1=002\r\nEND:VCARD\r\n")
            << QStringLiteral("line 8: the field \"Phone Number\" would hold a NUL character");
        QTest::newRow("CSV, a field of 1 MiB") << "Name,Address\r\nAnn," + mebibyte + "\r\n" << QString();
        QTest::newRow("CSV, a field of 1 MiB and a byte")
            << "Name,Address\r\nAnn,1\r\nBo,\"" + mebibyte + "\"\"\"\r\n"
            << QStringLiteral("line 3: the field \"Address\" would hold 1048577 bytes");
        QTest::newRow("vCard, a name of 1 MiB and a byte, folded")
            << "BEGIN:VCARD\r\nVERSION:4.0\r\nTEL:1\r\nFN:" + mebibyte + "\r\n y\r\nEND:VCARD\r\n"
            << QStringLiteral("line 4: the field \"Name\" would hold 1048577 bytes");
    }

    void aBrokenFileLeavesTheDatabaseAsItWas()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, error);
        const QString database = freshPath(QStringLiteral("db2.mdb"));
        QVERIFY(storeContacts(database, {contact({QStringLiteral("Kept")})}));
        const QByteArray before = fileDigest(database);

        const QString message = importInto(database, contents);
        if (error.isEmpty()) {
            QCOMPARE(message, QString());
            QCOMPARE(storedContacts(database).size(), 2);
            return;
        }
        QVERIFY2(message.contains(error), qPrintable(message));
        QVERIFY(message.endsWith(QStringLiteral("nothing was imported.")));
        QCOMPARE(fileDigest(database), before);
        QVERIFY(!QFileInfo::exists(database + QStringLiteral("-journal")));
    }

    void skipsExactDuplicatesAndFindsEveryNewName()
    {
        const QString database = freshPath(QStringLiteral("db2.mdb"));
        QVERIFY(storeContacts(database, {contact({QStringLiteral("Émile Zola"), QStringLiteral("Paris")})}));
        const QByteArray cards = crlfCards();

        ImportReport report;
        QCOMPARE(importInto(database, cards, &report), QString());
        // The stored Zola and the repeated card in the file are duplicates;
        // a card that differs in one field is not.
        QCOMPARE(report.added, 3);
        QCOMPARE(report.duplicates, 2);
        QCOMPARE(importInto(database, cards, &report), QString());
        QCOMPARE(report.added, 0);
        QCOMPARE(report.duplicates, 5);

        Recordset records;
        QVERIFY(records.open(database));
        for (const char *name : {"ÉMILE ZOLA", "straße", "ΣΩΚΡΆΤΗΣ "}) {
            QVERIFY(records.FindFirst(QStringLiteral("Name = '%1'").arg(QString::fromUtf8(name))));
            QVERIFY2(!records.NoMatch(), name);
        }
        QVERIFY(records.FindFirst(QStringLiteral("Name = 'Émile Zola'")));
        QCOMPARE(records.currentValues()[1], QStringLiteral("Paris")); // the first in view order
    }

    void readsTheFilesOfOtherPrograms_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("contact");
        QTest::addColumn<QString>("notKept");

        QTest::newRow("our own, reordered and in other letter case")
            << QByteArray("email address,NAME,website address,phone number\r\na@x,Ann,https://a.x,1\r\n")
            << QStringLiteral("Ann||1||||a@x|https://a.x") << QString();
        QTest::newRow("Outlook")
            << QByteArray("\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",\"Company\",\"Job Title\",\"Business Street\","
                          "\"Business City\",\"Business State\",\"Business Postal Code\",\"Business Country/Region\","
                          "\"Home Street\",\"Home City\",\"Business Phone\",\"Home Phone\",\"Mobile Phone\",\"E-mail Address\","
                          "\"E-mail 2 Address\",\"Web Page\",\"Notes\"\r\n"
                          "\"Dr.\",\"Ann\",\"B.\",\"Lee\",\"Acme\",\"CTO\",\"1 Way\",\"Austin\",\"TX\",\"78701\",\"USA\","
                          "\"2 Home Rd\",\"Austin\",\"555 1\",\"555 2\",\"555 3\",\"ann@acme\",\"ann@home\",\"acme.com\",\"n\"\r\n")
            << QStringLiteral("Ann B. Lee|2 Home Rd, Austin|555 2|CTO|1 Way, Austin, TX 78701, USA|555 1|ann@acme|acme.com")
            << QStringLiteral("Title 1, Company 1, Mobile Phone 1, E-mail 2 Address 1, Notes 1");
        QTest::newRow("Thunderbird")
            << QByteArray("First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Work Phone,Home Phone,"
                          "Mobile Number,Home Address,Home Address 2,Home City,Home State,Home ZipCode,Home Country,"
                          "Work Address,Work City,Job Title,Organization,Web Page 1,Web Page 2\r\n"
                          "Bo,Ek,Bo Ek,bo,bo@x,,08 1,,070 2,Gatan 1,lgh 2,Lund,,22100,Sweden,Vägen 3,Malmö,Dev,Firma,"
                          "https://bo.se,\r\n")
            << QStringLiteral("Bo Ek|Gatan 1, lgh 2, Lund, 22100, Sweden|070 2|Dev|Vägen 3, Malmö|08 1|bo@x|https://bo.se")
            << QStringLiteral("Nickname 1, Organization 1");
        QTest::newRow("Google, typed groups")
            << QByteArray("Name,Given Name,Family Name,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value,"
                          "Phone 2 - Type,Phone 2 - Value,Address 1 - Type,Address 1 - Formatted,Address 2 - Type,"
                          "Address 2 - Street,Address 2 - City,Organization 1 - Title,Website 1 - Value\r\n"
                          "Cy Doe,Cy,Doe,* Home,cy@x,Work,111,Mobile,222,Work,\"9 Office Pk\nSuite 1\",Home,3 Elm,Oslo,"
                          "Dean,https://cy.x\r\n")
            << QStringLiteral("Cy Doe|3 Elm, Oslo|222|Dean|9 Office Pk\nSuite 1|111|cy@x|https://cy.x")
            << QStringLiteral("E-mail 1 - Type 1");
        const QString utf16 = QStringLiteral("Name\tEmail Address\r\nĐorđe Šćepanović\td@x\r\n");
        QTest::newRow("UTF-16 with its byte order mark, tab separated")
            << QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)
            << QStringLiteral("Đorđe Šćepanović||||||d@x|") << QString();
        QTest::newRow("Windows-1252 with semicolons")
            << QByteArray("Name;Address;Phone Number\r\nJos\xe9;Stra\xdf" "e 1;\x80 5\r\n")
            << QStringLiteral("José|Straße 1|€ 5|||||") << QString();
        // Windows tools write UTF-16, also without a byte order mark.
        const QString csv = QStringLiteral("Name,Address\r\nĐorđe Šćepanović,Ābeļu iela 1\r\n");
        const QString card = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Đorđe Šćepanović\r\nADR:;;Ābeļu iela 1;;;;\r\n"
                                            "END:VCARD\r\n");
        const QString expected = QStringLiteral("Đorđe Šćepanović|Ābeļu iela 1||||||");
        for (const auto endian : {QSysInfo::LittleEndian, QSysInfo::BigEndian}) {
            const char *order = endian == QSysInfo::LittleEndian ? "little-endian" : "big-endian";
            for (const bool mark : {true, false}) {
                const char *withMark = mark ? "with" : "without";
                QTest::addRow("CSV in UTF-16 %s, %s a byte order mark", order, withMark)
                    << inUtf16(csv, endian, mark) << expected << QString();
                QTest::addRow("vCard in UTF-16 %s, %s a byte order mark", order, withMark)
                    << inUtf16(card, endian, mark) << expected << QString();
            }
        }
        QTest::newRow("CSV in UTF-32 with its byte order mark")
            << QByteArray("\xff\xfe\0\0", 4) + QByteArray(reinterpret_cast<const char *>(csv.toUcs4().constData()),
                                                              csv.toUcs4().size() * 4)
            << expected << QString();
        // Typed groups numbered beyond what an int holds once ranked.
        QTest::newRow("typed groups with huge numbers")
            << QByteArray("Name,Phone 2147483647 - Type,Phone 2147483647 - Value,Phone 1 - Type,Phone 1 - Value,"
                          "E-mail 99999999999 - Value\r\nAnn,Home,999,Home,111,a@x\r\n")
            << QStringLiteral("Ann||111|||||")
            << QStringLiteral("Phone 2147483647 - Type 1, Phone 2147483647 - Value 1, E-mail 99999999999 - Value 1");
    }

    void readsTheFilesOfOtherPrograms()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, contact);
        QFETCH(QString, notKept);
        const QString database = freshPath(QStringLiteral("db2.mdb"));
        ImportReport report;
        QCOMPARE(importInto(database, contents, &report), QString());
        QCOMPARE(joinedRows(storedContacts(database)), QStringList{contact});
        QCOMPARE(notKeptText(report), notKept);
    }

    void importsAMerivoDatabaseLikeAnyOtherSource()
    {
        const QString database = freshPath(QStringLiteral("db2.mdb"));
        QVERIFY(storeContacts(database, {contact({QStringLiteral("Ann"), QStringLiteral("1 Way")})}));
        const QString other = freshPath(QStringLiteral("theirs.mdb"));
        QVERIFY(storeContacts(other, {contact({QStringLiteral("Ann"), QStringLiteral("1 Way")}),
                                      contact({QStringLiteral("Bo"), QStringLiteral("2 Way")}), contact({QString()})}));
        QCOMPARE(sqliteShell(other, QString::fromLatin1(ForeignValues)).exitCode, 0);

        ContactImport import;
        QVERIFY2(import.run(other, database), qPrintable(import.lastError()));
        QCOMPARE(import.report().added, 2);
        QCOMPARE(import.report().duplicates, 1);
        QCOMPARE(import.report().withoutName, 1);
        QCOMPARE(import.report().converted, 3);
        const QStringList lines = import.report().lines(other, database);
        QVERIFY2(lines.last().contains(QStringLiteral("merivo-tool restore %1").arg(other)), qPrintable(lines.join(u'\n')));
        const ContactList rows = storedContacts(database);
        QCOMPARE(rows.size(), 3);
        QVERIFY(joinedFields(rows[2]).startsWith(QStringLiteral("Jérome|ÿ\uFFFDþ|A\uFFFDB\uFFFD|42|")));

        // The database itself, under any name, is refused, not doubled.
        const QString hardLink = freshPath(QStringLiteral("same.mdb"));
        QCOMPARE(::link(QFile::encodeName(database).constData(), QFile::encodeName(hardLink).constData()), 0);
        const QByteArray before = fileDigest(database);
        for (const QString &same : {database, hardLink}) {
            QVERIFY(!import.run(same, database));
            QVERIFY2(import.lastError().contains(QStringLiteral("is the same file as the contact database")),
                     qPrintable(import.lastError()));
        }
        QCOMPARE(fileDigest(database), before);
    }

    void exportsAreValidUtf8WhateverIsStored_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("vCard") << int(ContactExport::Format::VCard4);
        QTest::newRow("CSV") << int(ContactExport::Format::Csv);
    }

    void exportsAreValidUtf8WhateverIsStored()
    {
        QFETCH(int, format);
        const QString source = freshPath(QStringLiteral("foreign.mdb"));
        QVERIFY(storeContacts(source, {contact({QStringLiteral("Ann")})}));
        QCOMPARE(sqliteShell(source, QString::fromLatin1(ForeignValues)).exitCode, 0);

        ContactExport exporter;
        const QByteArray text = exported(exporter, source, ContactExport::Format(format));
        QCOMPARE(exporter.converted(), 3);
        QVERIFY(Utf8Text::isClean(text));
        // and it reads back as UTF-8, not as Windows-1252
        const QString target = freshPath(QStringLiteral("back.mdb"));
        QCOMPARE(importInto(target, text), QString());
        QVERIFY(joinedFields(storedContacts(target).last()).startsWith(QStringLiteral("Jérome|ÿ\uFFFDþ|A\uFFFDB\uFFFD|42|")));
    }

    void spreadsheetSafeCsvMakesFormulasText()
    {
        const QString source = freshPath(QStringLiteral("formulas.mdb"));
        QVERIFY(storeContacts(source, {contact({QStringLiteral("Ann"), QStringLiteral("\tx"), QStringLiteral("\ry"),
                                                QStringLiteral("a=b")})}));
        QCOMPARE(sqliteShell(source, QString::fromLatin1(ForeignValues)).exitCode, 0);
        ContactExport exporter;
        exporter.setSpreadsheetSafe(true);
        const QList<QByteArray> lines = exported(exporter, source, ContactExport::Format::Csv).split('\n');
        QCOMPARE(exporter.madeInert(), 6);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], QByteArray("Ann,'\tx,\"'\ry\",a=b,,,,\r"));
        QVERIFY2(lines[2].endsWith(",\"'=HYPERLINK(\"\"http://x\"\")\",'+49 30 1,'@home,'-5\r"), lines[2].constData());
    }

    void importsAnOlderAddressBookThroughMdbExport()
    {
        // No Debian tool writes .mdb files, so mdb-export is a script here
        // that checks how it is called and answers as mdb-export does.
        QTemporaryDir bin;
        const QString script = bin.filePath(QStringLiteral("mdb-export"));
        QVERIFY(writeFile(script, "#!/bin/sh\n"
                                  "[ \"$#\" -eq 2 ] && [ \"$2\" = Table1 ] || { echo \"Error: Table $2 does not exist\" >&2; exit 1; }\n"
                                  "head -c 19 \"$1\" | tail -c 15 | grep -q 'Jet DB' || { echo 'Unknown file' >&2; exit 1; }\n"
                                  "printf '%s\\n' 'Name,Address,Phone Number,Position,Office address,Office Phone Number,"
                                  "Email Address,Website Address' '\"Old Friend\",\"1 \"\"Old\"\" Rd\",\"555\",,,,\"of@x\",'\n"));
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });

        const QString legacy = freshPath(QStringLiteral("contacts.mdb"));
        QVERIFY(writeFile(legacy, legacySignature()));
        QVERIFY(LegacyDatabaseFile::recognise(legacy));
        const QString database = freshPath(QStringLiteral("db2.mdb"));
        ImportReport report;
        QCOMPARE(importInto(database, legacySignature(), &report), QString());
        QCOMPARE(joinedRows(storedContacts(database)), QStringList{QStringLiteral("Old Friend|1 \"Old\" Rd|555||||of@x|")});

        // mdb-export failing is a clear error, and nothing is written.
        QVERIFY(writeFile(script, "#!/bin/sh\necho 'File is not a valid Access database' >&2\nexit 1\n"));
        const QByteArray before = fileDigest(database);
        const QString message = importInto(database, legacySignature());
        QVERIFY2(message.contains(QStringLiteral("mdb-export could not read the contact table Table1"))
                     && message.contains(QStringLiteral("File is not a valid Access database")),
                 qPrintable(message));
        QCOMPARE(fileDigest(database), before);

        // An mdb-export that hangs is stopped, and said to hang.
        QVERIFY(writeFile(script, "#!/bin/sh\nexec sleep 60\n"));
        ContactImport import;
        import.setHelperTimeout(300);
        QVERIFY(!import.run(legacy, database));
        QVERIFY2(import.lastError().contains(QStringLiteral("mdb-export wrote nothing for 0.3 seconds")),
                 qPrintable(import.lastError()));
        QCOMPARE(fileDigest(database), before);
    }

    void theProgramLeavesAnOlderDatabaseUntouched()
    {
        const QString database = freshPath(QStringLiteral("db2.mdb"));
        QVERIFY(writeFile(database, legacySignature()));
        const QByteArray before = fileDigest(database);
        Recordset records;
        QVERIFY(!records.open(database));
        QVERIFY2(records.lastError().contains(QStringLiteral("merivo-tool import")), qPrintable(records.lastError()));
        QCOMPARE(fileDigest(database), before);
        QCOMPARE(QDir(QFileInfo(database).absolutePath()).entryList({QStringLiteral("*db2.mdb-*")}, QDir::Files),
                 QStringList());
    }

private:
    static QByteArray crlfCards()
    {
        return QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Émile Zola\r\nADR:;;Paris;;;;\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Émile Zola\r\nADR:;;Médan;;;;\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:STRASSE\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Σωκράτης\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Σωκράτης\r\nEND:VCARD\r\n");
    }
};

QTEST_GUILESS_MAIN(TestContactTransfer)
#include "tst_contacttransfer.moc"
