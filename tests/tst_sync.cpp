// merivo-tool sync against a real Radicale on 127.0.0.1: both directions,
// what the server's cards hold besides our fields, conflicts, deletions and
// their return, rows renumbered by the shell, servers that fail in every way,
// and syncs killed at any moment.

#include "ContactTestTools.h"
#include "SyncTestTools.h"
#include "TransferTestTools.h"

#include "contacts/ContactStore.h"
#include "sync/SyncCard.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// A card as another client (a phone) keeps it: much more than our fields.
QByteArray richCard(const QString &uid, const QString &name, const QString &phone)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nN:%2;;;;\r\n"
                          "TEL;TYPE=HOME:%3\r\nTEL;TYPE=CELL:+1 555 0199\r\n"
                          "BDAY:1980-04-01\r\nNOTE:met at the fair\r\nX-PHONE-RINGTONE:bells\r\n"
                          "item1.EMAIL;TYPE=INTERNET:%1@example.org\r\nitem1.X-ABLABEL:private\r\n"
                          "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk\r\n"
                          " +M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\nEND:VCARD\r\n")
        .arg(uid, name, phone)
        .toUtf8();
}

QByteArray plainCard(const QString &uid, const QString &name)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nEND:VCARD\r\n").arg(uid, name).toUtf8();
}

// The properties a card holds, unfolded, as "NAME:value" lines.
QStringList unfoldedLines(const QByteArray &card)
{
    QByteArray text = card;
    text.replace("\r\n ", "").replace("\n ", "");
    QStringList lines;
    for (const QByteArray &line : text.split('\n')) {
        if (!line.trimmed().isEmpty())
            lines.append(QString::fromUtf8(line.trimmed()));
    }
    return lines;
}

using ValuesList = QList<ContactValues>;

ValuesList sorted(ValuesList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

QStringList names(const ValuesList &list)
{
    QStringList result;
    for (const ContactValues &values : list)
        result.append(values[0]);
    result.sort();
    return result;
}

// Minimal HTTP for playing another client of the server.
int dav(const QByteArray &method, const QString &url, const QByteArray &body = QByteArray(),
        const QByteArray &condition = QByteArray())
{
    QNetworkAccessManager network;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Authorization", "Basic " + QByteArray("ann:secret").toBase64());
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/vcard"));
    if (!condition.isEmpty())
        request.setRawHeader(condition.left(condition.indexOf(':')), condition.mid(condition.indexOf(':') + 1).trimmed());
    QNetworkReply *reply = network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    delete reply;
    return status;
}

} // namespace

class TestSync : public QObject
{
    Q_OBJECT

    QTemporaryDir m_serverFolder;
    std::unique_ptr<Radicale> m_radicale;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FaultProxy> m_proxy;
    ToolRunner m_tool{QStringLiteral(MERIVO_TOOL)};
    QString m_database;
    QString m_book;
    QString m_bookUrl; // on the server itself, for the other client

    ToolRun tool(const QStringList &arguments, int killAfterMs = -1)
    {
        return m_tool.run(QStringList{QStringLiteral("--database"), m_database} + arguments, killAfterMs);
    }

    ToolRun sync(const QStringList &arguments = {})
    {
        return tool(QStringList{QStringLiteral("sync"), QStringLiteral("--timeout"), QStringLiteral("2")} + arguments);
    }

    QString cardUrl(const QString &file) const { return m_bookUrl + file; }

    ValuesList serverValues() const
    {
        ValuesList list;
        const auto cards = m_radicale->cards(m_book);
        for (const QByteArray &bytes : cards) {
            if (const std::optional<SyncCard> card = SyncCard::read(bytes))
                list.append(card->values());
        }
        return sorted(list);
    }

    ValuesList localValues() const { return sorted(storedContacts(m_database)); }

    QString shell(const QString &sql) const
    {
        const ShellResult result = sqliteShell(m_database, sql);
        return result.errors.isEmpty() ? result.output : QStringLiteral("error: ") + result.errors;
    }

    // Both sides hold the same contacts, and a sync right away sends and
    // fetches nothing.
    void checkSettled(const char *where)
    {
        const ValuesList local = localValues();
        QCOMPARE(names(serverValues()), names(local));
        QVERIFY2(serverValues() == local, where);
        m_proxy->clearLog();
        const ToolRun again = sync();
        QVERIFY2(again.status == 0, again.errors.constData());
        QVERIFY2(again.output.contains("received 0 new, 0 changed, 0 deleted; sent 0 new, 0 changed, 0 deleted."),
                 again.output.constData());
        QCOMPARE(m_proxy->count("PUT") + m_proxy->count("DELETE") + m_proxy->count("GET"), 0);
        QCOMPARE(m_proxy->count("REPORT"), 1); // sync-collection, with no card in it
        QCOMPARE(localValues(), local);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("radicale")).isEmpty(), "radicale is not installed");
        QVERIFY(haveSqliteShell());
        m_radicale = std::make_unique<Radicale>(m_serverFolder.path());
        QVERIFY(m_radicale->start());
    }

    void cleanupTestCase() { m_radicale.reset(); }

    void init()
    {
        static int count = 0;
        m_dir = std::make_unique<QTemporaryDir>();
        m_database = m_dir->filePath(QStringLiteral("db2.mdb"));
        m_book = QStringLiteral("book%1").arg(++count);
        m_bookUrl = m_radicale->addressBook(m_book);
        QVERIFY(storeContacts(m_database, {})); // an empty database, as the program makes it
        m_proxy = std::make_unique<FaultProxy>(m_radicale->port());
        Radicale::writeText(m_dir->filePath(QStringLiteral("password")), "secret\n");
        const ToolRun added = tool({QStringLiteral("account"), QStringLiteral("add"),
                                    m_proxy->url() + QStringLiteral("ann/") + m_book + QLatin1Char('/'), QStringLiteral("--user"),
                                    QStringLiteral("ann"), QStringLiteral("--password-command"),
                                    QStringLiteral("cat '%1'").arg(m_dir->filePath(QStringLiteral("password")))});
        QVERIFY2(added.status == 0, added.errors.constData());
    }

    void bothDirectionsAndNothingTwice()
    {
        QVERIFY(storeContacts(m_database, awkwardContacts()));
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123")),
                     "If-None-Match: *"),
                 201);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("olga.vcf")), plainCard(QStringLiteral("olga"), QStringLiteral("Olga"))), 201);

        const ToolRun first = sync();
        QVERIFY2(first.status == 0, first.errors.constData());
        QVERIFY2(first.output.contains("received 2 new, 0 changed, 0 deleted; sent 5 new, 0 changed, 0 deleted."),
                 first.output.constData());
        QCOMPARE(localValues().size(), 7);
        // Every character of every field made it to the server and back.
        for (const ContactValues &values : awkwardContacts())
            QVERIFY2(serverValues().contains(values), qPrintable(values[0]));
        checkSettled("after the first sync");
    }

    void localChangesKeepTheRestOfTheCard_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("sqlite3 shell") << QStringLiteral("shell");
        QTest::newRow("the forms' store") << QStringLiteral("store");
    }

    void localChangesKeepTheRestOfTheCard()
    {
        QFETCH(QString, how);
        const QByteArray card = richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123"));
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), card), 201);
        QCOMPARE(sync().status, 0);
        QCOMPARE(names(localValues()), QStringList{QStringLiteral("Vera Lind")});

        if (how == QLatin1String("shell")) {
            QCOMPARE(shell(QStringLiteral("UPDATE Table1 SET \"Phone Number\" = '+46 8 999', \"Position\" = 'Pilot';")), QString());
        } else {
            ContactStore store;
            QVERIFY(store.open(m_database, {}));
            ContactRow row;
            QCOMPARE(store.first(row), ContactStore::Lookup::Found);
            ContactValues changed = row.values;
            changed[fieldIndex(ContactField::PhoneNumber)] = QStringLiteral("+46 8 999");
            changed[fieldIndex(ContactField::Position)] = QStringLiteral("Pilot");
            QCOMPARE(store.update(row.id, changed, row.values), ContactStore::Change::Done);
        }
        const ToolRun run = sync();
        QVERIFY2(run.output.contains("sent 0 new, 1 changed, 0 deleted."), run.output.constData());

        const QStringList lines = unfoldedLines(m_radicale->cards(m_book).value(QStringLiteral("vera.vcf")));
        for (const QString &kept : unfoldedLines(card)) {
            if (!kept.startsWith(QLatin1String("TEL;TYPE=HOME")))
                QVERIFY2(lines.contains(kept), qPrintable(kept));
        }
        QVERIFY(lines.contains(QStringLiteral("TEL;TYPE=HOME:+46 8 999")));
        QVERIFY(lines.contains(QStringLiteral("TITLE:Pilot")));
        checkSettled("after a local edit");
    }

    void serverChangesArrive()
    {
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("a.vcf")), plainCard(QStringLiteral("a"), QStringLiteral("Ann"))), 201);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("b.vcf")), plainCard(QStringLiteral("b"), QStringLiteral("Bob"))), 201);
        QCOMPARE(sync().status, 0);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("a.vcf")), plainCard(QStringLiteral("a"), QStringLiteral("Ann Smith"))), 201);
        QCOMPARE(dav("DELETE", cardUrl(QStringLiteral("b.vcf"))), 200);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("c.vcf")), plainCard(QStringLiteral("c"), QStringLiteral("Cem"))), 201);
        const ToolRun run = sync();
        QVERIFY2(run.output.contains("received 1 new, 1 changed, 1 deleted; sent 0 new, 0 changed, 0 deleted."),
                 run.output.constData());
        QCOMPARE(names(localValues()), (QStringList{QStringLiteral("Ann Smith"), QStringLiteral("Cem")}));
        const ToolRun deleted = tool({QStringLiteral("deleted")});
        QVERIFY2(deleted.output.contains("Bob"), deleted.output.constData());
        checkSettled("after changes on the server");
    }

    void conflicts_data()
    {
        QTest::addColumn<QString>("prefer");
        QTest::addColumn<QString>("field"); // a column of Table1
        QTest::addColumn<QString>("here");
        QTest::addColumn<QString>("there");
        QTest::addColumn<QString>("kept");          // in the field, on both sides
        QTest::addColumn<QStringList>("cardLines"); // on the server's card besides
        QTest::addColumn<bool>("conflict");

        const QString phone = QStringLiteral("Phone Number");
        QTest::newRow("both kept") << QString() << phone << "+1 111" << "+1 222" << "+1 111"
                                   << QStringList{QStringLiteral("TEL;TYPE=HOME:+1 111"), QStringLiteral("TEL;TYPE=HOME:+1 222"),
                                                  QStringLiteral("TEL;TYPE=CELL:+1 555 0199")}
                                   << true;
        QTest::newRow("this computer's preferred") << "local" << phone << "+1 111" << "+1 222" << "+1 111"
                                                   << QStringList{QStringLiteral("TEL;TYPE=HOME:+1 111")} << true;
        QTest::newRow("the server's preferred") << "server" << phone << "+1 111" << "+1 222" << "+1 222"
                                                << QStringList{QStringLiteral("TEL;TYPE=HOME:+1 222")} << true;
        QTest::newRow("emptied here, both kept") << QString() << phone << "" << "+1 222" << "+1 222"
                                                 << QStringList{QStringLiteral("TEL;TYPE=HOME:+1 222")} << true;
        QTest::newRow("the same change on both sides") << QString() << phone << "+1 333" << "+1 333" << "+1 333"
                                                       << QStringList{QStringLiteral("TEL;TYPE=HOME:+1 333")} << false;
        QTest::newRow("names, both kept") << QString() << QStringLiteral("Name") << "Vera L" << "Vera Lindqvist"
                                          << "Vera L"
                                          << QStringList{QStringLiteral("FN:Vera L"), QStringLiteral("NOTE:Also named: Vera Lindqvist")}
                                          << true;
    }

    void conflicts()
    {
        QFETCH(QString, prefer);
        QFETCH(QString, field);
        QFETCH(QString, here);
        QFETCH(QString, there);
        QFETCH(QString, kept);
        QFETCH(QStringList, cardLines);
        QFETCH(bool, conflict);

        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123"))), 201);
        QCOMPARE(sync().status, 0);
        QCOMPARE(shell(QStringLiteral("UPDATE Table1 SET \"%1\" = %2;").arg(field, sqlText(here))), QString());
        const bool onName = field == QLatin1String("Name");
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")),
                     richCard(QStringLiteral("vera"), onName ? there : QStringLiteral("Vera Lind"), onName ? QStringLiteral("+46 8 123") : there)),
                 201);
        const ToolRun run = sync(prefer.isEmpty() ? QStringList() : QStringList{QStringLiteral("--prefer"), prefer});
        QVERIFY2(run.status == 0, run.errors.constData());
        QCOMPARE(run.output.contains("Conflict: "), conflict);
        if (conflict) {
            QVERIFY2(run.output.contains(QStringLiteral("%1 was changed here to \"%2\" and on the server to \"%3\"")
                                             .arg(field, here, there)
                                             .toUtf8()),
                     run.output.constData());
        }
        const ValuesList local = localValues();
        QCOMPARE(local.size(), 1);
        const auto column = std::find(contactFieldNames().begin(), contactFieldNames().end(), field);
        QCOMPARE(local[0][column - contactFieldNames().begin()], kept);
        const QStringList lines = unfoldedLines(m_radicale->cards(m_book).value(QStringLiteral("vera.vcf")));
        for (const QString &line : cardLines)
            QVERIFY2(lines.contains(line), qPrintable(line + QStringLiteral(" missing from ") + lines.join(QLatin1Char('|'))));
        QVERIFY(lines.contains(QStringLiteral("BDAY:1980-04-01")));
        checkSettled("after a conflict");
    }

    void changesToDifferentFieldsMerge()
    {
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123"))), 201);
        QCOMPARE(sync().status, 0);
        QCOMPARE(shell(QStringLiteral("UPDATE Table1 SET \"Position\" = 'Pilot';")), QString());
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 777"))), 201);
        const ToolRun run = sync();
        QVERIFY2(run.output.contains("received 0 new, 1 changed, 0 deleted; sent 0 new, 1 changed, 0 deleted."), run.output.constData());
        QVERIFY(!run.output.contains("Conflict"));
        const ValuesList local = localValues();
        QCOMPARE(local[0][fieldIndex(ContactField::PhoneNumber)], QStringLiteral("+46 8 777"));
        QCOMPARE(local[0][fieldIndex(ContactField::Position)], QStringLiteral("Pilot"));
        checkSettled("after a merge");
    }

    void deletedOnOneSideChangedOnTheOther_data()
    {
        QTest::addColumn<bool>("deletedHere");
        QTest::newRow("deleted here, changed on the server") << true;
        QTest::newRow("deleted on the server, changed here") << false;
    }

    void deletedOnOneSideChangedOnTheOther()
    {
        QFETCH(bool, deletedHere);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123"))), 201);
        QCOMPARE(sync().status, 0);
        if (deletedHere) {
            QCOMPARE(shell(QStringLiteral("DELETE FROM Table1;")), QString());
            QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 777"))), 201);
        } else {
            QCOMPARE(shell(QStringLiteral("UPDATE Table1 SET \"Phone Number\" = '+46 8 777';")), QString());
            QCOMPARE(dav("DELETE", cardUrl(QStringLiteral("vera.vcf"))), 200);
        }
        const ToolRun run = sync();
        QVERIFY2(run.status == 0, run.errors.constData());
        const ValuesList local = localValues();
        QCOMPARE(local.size(), 1);
        QCOMPARE(local[0][fieldIndex(ContactField::PhoneNumber)], QStringLiteral("+46 8 777"));
        // The contact came back whole, birthday and photo included.
        const auto cards = m_radicale->cards(m_book);
        QCOMPARE(cards.size(), 1);
        const QStringList lines = unfoldedLines(cards.cbegin().value());
        QVERIFY(lines.contains(QStringLiteral("BDAY:1980-04-01")));
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) { return line.startsWith(QLatin1String("PHOTO")); }));
        // Not listed as deleted any more: bringing it back would double it.
        QVERIFY(!tool({QStringLiteral("deleted")}).output.contains("Vera"));
        checkSettled("after a deletion lost to a change");
    }

    void renumberedRowsKeepTheirContacts_data()
    {
        QTest::addColumn<QString>("renumber");
        // .dump writes the rows without their ids; reloaded, they count from 1.
        QTest::newRow("dump and reload") << QStringLiteral("dump");
        QTest::newRow("VACUUM") << QStringLiteral("VACUUM;");
        // Deleted and edited in the shell, then dumped: the triggers meet
        // row ids that name other contacts.
        QTest::newRow("dump, reload, then delete") << QStringLiteral("dump delete");
        // A restored copy of before the last sync: its sync tables say less.
        QTest::newRow("copy of before the sync") << QStringLiteral("copy");
    }

    void renumberedRowsKeepTheirContacts()
    {
        QFETCH(QString, renumber);
        QStringList added;
        for (int i = 0; i < 8; ++i)
            added.append(QStringLiteral("Person %1").arg(i));
        QCOMPARE(shell(insertNamesSql(added)), QString());
        const QString copy = m_dir->filePath(QStringLiteral("before.mdb"));
        QVERIFY(QFile::copy(m_database, copy));
        QCOMPARE(sync().status, 0);
        // Gaps in the row ids, so that renumbering moves rows.
        QCOMPARE(shell(QStringLiteral("DELETE FROM Table1 WHERE \"Name\" IN ('Person 1', 'Person 4');")), QString());
        QCOMPARE(sync().status, 0);

        if (renumber.startsWith(QLatin1String("dump"))) {
            const QString dump = shell(QStringLiteral(".dump"));
            QVERIFY(QFile::remove(m_database));
            QCOMPARE(shell(dump), QString());
        } else if (renumber == QLatin1String("copy")) {
            QVERIFY(QFile::remove(m_database));
            QVERIFY(QFile::copy(copy, m_database));
            QCOMPARE(shell(QStringLiteral("DELETE FROM Table1 WHERE \"Name\" IN ('Person 1', 'Person 4');")), QString());
        } else {
            QCOMPARE(shell(renumber), QString());
        }
        if (renumber == QLatin1String("dump"))
            QCOMPARE(shell(QStringLiteral("SELECT group_concat(rowid) FROM Table1;")), QStringLiteral("1,2,3,4,5,6"));
        QCOMPARE(shell(QStringLiteral("UPDATE Table1 SET \"Address\" = 'moved' WHERE \"Name\" = 'Person 7';")), QString());
        const bool deleting = renumber.endsWith(QLatin1String("delete"));
        if (deleting)
            QCOMPARE(shell(QStringLiteral("DELETE FROM Table1 WHERE \"Name\" = 'Person 6';")), QString());

        const ToolRun run = sync();
        QVERIFY2(run.status == 0, run.errors.constData());
        QVERIFY2(run.output.contains(deleting ? "sent 0 new, 1 changed, 1 deleted." : "sent 0 new, 1 changed, 0 deleted."),
                 run.output.constData());
        QStringList expected{QStringLiteral("Person 0"), QStringLiteral("Person 2"), QStringLiteral("Person 3"),
                             QStringLiteral("Person 5"), QStringLiteral("Person 6"), QStringLiteral("Person 7")};
        if (deleting) {
            expected.removeOne(QStringLiteral("Person 6"));
            // Listed once among the deleted contacts, with its card.
            QCOMPARE(shell(QStringLiteral("SELECT count(*), count(card) FROM merivo_deleted WHERE \"Name\" = 'Person 6';")),
                     QStringLiteral("1|1"));
        }
        QCOMPARE(names(localValues()), expected);
        checkSettled("after the rows were renumbered");
    }

    void deletedContactsComeBack()
    {
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123"))), 201);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("olga.vcf")), plainCard(QStringLiteral("olga"), QStringLiteral("Olga"))), 201);
        QCOMPARE(shell(insertNamesSql({QStringLiteral("Ann"), QStringLiteral("Bob")})), QString());
        QCOMPARE(sync().status, 0);

        // Deleted by the forms' store, by the shell, and on the server.
        {
            ContactStore store;
            QVERIFY(store.open(m_database, {}));
            ContactRow row;
            QCOMPARE(store.firstNamed(QStringLiteral("vera lind"), row), ContactStore::Lookup::Found);
            QCOMPARE(store.remove(row.id, row.values), ContactStore::Change::Done);
        }
        QCOMPARE(shell(QStringLiteral("DELETE FROM Table1 WHERE \"Name\" = 'Ann';")), QString());
        QCOMPARE(dav("DELETE", cardUrl(QStringLiteral("olga.vcf"))), 200);
        QCOMPARE(sync().status, 0);
        QCOMPARE(names(localValues()), QStringList{QStringLiteral("Bob")});
        QCOMPARE(names(serverValues()), QStringList{QStringLiteral("Bob")});

        const ToolRun listed = tool({QStringLiteral("deleted")});
        QCOMPARE(listed.status, 0);
        const QList<QByteArray> lines = listed.output.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        const auto numberOf = [&](const char *name) {
            for (const QByteArray &line : lines) {
                if (line.contains(name))
                    return QString::fromUtf8(line.trimmed().split(' ').value(0));
            }
            return QString();
        };
        QVERIFY(listed.output.contains("Ann  (Ann street)"));

        // Back, and on the server again with the card it had: photo and all.
        ToolRun back = tool({QStringLiteral("undelete"), numberOf("Vera Lind")});
        QVERIFY2(back.status == 0, back.errors.constData());
        QVERIFY(back.output.contains("Brought back Vera Lind."));
        QCOMPARE(tool({QStringLiteral("undelete"), numberOf("Olga")}).status, 0);
        const ToolRun run = sync();
        QVERIFY2(run.output.contains("sent 2 new, 0 changed, 0 deleted."), run.output.constData());
        QCOMPARE(names(serverValues()), (QStringList{QStringLiteral("Bob"), QStringLiteral("Olga"), QStringLiteral("Vera Lind")}));
        bool photo = false;
        const auto cards = m_radicale->cards(m_book);
        for (const QByteArray &card : cards)
            photo = photo || (card.contains("PHOTO") && card.contains("UID:vera") && card.contains("BDAY"));
        QVERIFY(photo);
        checkSettled("after bringing contacts back");

        // Deleted and brought back before any sync: nothing to send.
        QCOMPARE(shell(QStringLiteral("DELETE FROM Table1 WHERE \"Name\" = 'Bob';")), QString());
        QVERIFY(tool({QStringLiteral("undelete"), numberOf("Bob")}).status != 0); // not listed then: its number is new
        const ToolRun again = tool({QStringLiteral("deleted")});
        const QByteArray bobLine = again.output.trimmed().split('\n').value(0);
        QVERIFY(bobLine.contains("Bob"));
        QCOMPARE(tool({QStringLiteral("undelete"), QString::fromUtf8(bobLine.trimmed().split(' ').value(0))}).status, 0);
        checkSettled("after a deletion undone before the sync");

        // Forgotten after 30 days; numbers that are no longer listed are refused.
        QCOMPARE(shell(QStringLiteral("UPDATE merivo_deleted SET deleted_at = deleted_at - 31 * 86400;")), QString());
        const ToolRun expired = tool({QStringLiteral("deleted")});
        QVERIFY2(expired.output.contains("No contacts were deleted in the last 30 days."), expired.output.constData());
        QCOMPARE(shell(QStringLiteral("SELECT count(*) FROM merivo_deleted;")), QStringLiteral("0"));
        const ToolRun refused = tool({QStringLiteral("undelete"), numberOf("Ann")});
        QCOMPARE(refused.status, 1);
        QVERIFY(refused.errors.contains("there is no such deleted contact"));
    }
};

QTEST_GUILESS_MAIN(TestSync)
#include "tst_sync.moc"
