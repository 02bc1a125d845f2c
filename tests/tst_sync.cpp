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

    void bothDirectionsAndNothingTwice_data()
    {
        using F = FaultProxy::Fault;
        QTest::addColumn<FaultProxy::Rule>("server"); // what the server lacks at the first sync
        QTest::newRow("sync-collection") << FaultProxy::Rule{};
        QTest::newRow("no sync-collection (403)") << FaultProxy::Rule{"REPORT", 1, F::ErrorInstead, 403};
        QTest::newRow("no REPORT at all (501)") << FaultProxy::Rule{"REPORT", 0, F::ErrorInstead, 501};
    }

    void bothDirectionsAndNothingTwice()
    {
        QFETCH(FaultProxy::Rule, server);
        m_proxy->setRule(server);
        QVERIFY(storeContacts(m_database, awkwardContacts()));
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("vera.vcf")), richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123")),
                     "If-None-Match: *"),
                 201);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("olga.vcf")), plainCard(QStringLiteral("olga"), QStringLiteral("Olga"))), 201);

        m_proxy->clearLog();
        const ToolRun first = sync();
        QVERIFY2(first.status == 0, first.errors.constData());
        QVERIFY2(first.output.contains("received 2 new, 0 changed, 0 deleted; sent 5 new, 0 changed, 0 deleted."),
                 first.output.constData());
        // The cards are listed by sync-collection where the server has it:
        // a PROPFIND of every card costs some servers far more.
        QCOMPARE(m_proxy->count("PROPFIND"), server.method.isEmpty() ? 0 : 1);
        m_proxy->setRule({});
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
            ContactChanges changed;
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

    void serverFaults_data()
    {
        using F = FaultProxy::Fault;
        QTest::addColumn<FaultProxy::Rule>("rule");
        QTest::addColumn<bool>("finishes"); // the faulty sync itself gets everything done
        QTest::newRow("PUT answered 503, not done") << FaultProxy::Rule{"PUT", 2, F::ErrorInstead, 503} << false;
        QTest::newRow("PUT done, then answered 500") << FaultProxy::Rule{"PUT", 2, F::ErrorAfter, 500} << false;
        // Qt sends a request again once when the connection is cut before
        // the answer; If-Match and If-None-Match make that safe.
        QTest::newRow("PUT done, connection cut") << FaultProxy::Rule{"PUT", 1, F::CutAfter, 0} << true;
        QTest::newRow("PUT never answered") << FaultProxy::Rule{"PUT", 1, F::Silence, 0} << false;
        QTest::newRow("DELETE done, then answered 502") << FaultProxy::Rule{"DELETE", 1, F::ErrorAfter, 502} << false;
        QTest::newRow("sync-collection answered 503") << FaultProxy::Rule{"REPORT", 1, F::ErrorInstead, 503} << false;
        QTest::newRow("multiget cut") << FaultProxy::Rule{"REPORT", 2, F::CutAfter, 0} << true;
        QTest::newRow("every PUT cut") << FaultProxy::Rule{"PUT", 0, F::CutAfter, 0} << false;
        QTest::newRow("multiget never answered") << FaultProxy::Rule{"REPORT", 2, F::Silence, 0} << false;
        QTest::newRow("password refused") << FaultProxy::Rule{"REPORT", 1, F::ErrorInstead, 401} << false;
        QTest::newRow("PUT refused with 412") << FaultProxy::Rule{"PUT", 1, F::ErrorInstead, 412} << true;
        QTest::newRow("DELETE refused with 412") << FaultProxy::Rule{"DELETE", 1, F::ErrorInstead, 412} << true;
        QTest::newRow("no ETag after PUT") << FaultProxy::Rule{"PUT", 0, F::NoETag, 0} << true;
        QTest::newRow("cards rewritten after PUT") << FaultProxy::Rule{"PUT", 0, F::RewriteAfterPut, 0} << true;
    }

    // Changes on both sides of every kind, synced through a server that
    // fails once: the next sync finishes the work, and nothing is lost,
    // doubled or sent round again.
    void serverFaults()
    {
        QFETCH(FaultProxy::Rule, rule);
        QFETCH(bool, finishes);
        for (const char *name : {"Ann", "Bob", "Cem"})
            QCOMPARE(dav("PUT", cardUrl(QString::fromLatin1(name) + QStringLiteral(".vcf")), plainCard(QString::fromLatin1(name), QString::fromLatin1(name))), 201);
        QCOMPARE(shell(insertNamesSql({QStringLiteral("Lars"), QStringLiteral("Liv")})), QString());
        QCOMPARE(sync().status, 0);

        QCOMPARE(shell(QStringLiteral("UPDATE Table1 SET \"Phone Number\" = '+1 555 0100' WHERE \"Name\" = 'Ann';"
                                      "DELETE FROM Table1 WHERE \"Name\" = 'Bob';")
                       + insertNamesSql({QStringLiteral("Lea"), QStringLiteral("Leo"), QStringLiteral("Lou")})),
                 QString());
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("Cem.vcf")), richCard(QStringLiteral("Cem"), QStringLiteral("Cem"), QStringLiteral("+90 1"))), 201);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("Sam.vcf")), plainCard(QStringLiteral("Sam"), QStringLiteral("Sam"))), 201);
        QCOMPARE(dav("PUT", cardUrl(QStringLiteral("Sue.vcf")), plainCard(QStringLiteral("Sue"), QStringLiteral("Sue"))), 201);
        const auto cards = m_radicale->cards(m_book);
        for (auto it = cards.cbegin(); it != cards.cend(); ++it) {
            if (it.value().contains("FN:Lars"))
                QCOMPARE(dav("DELETE", cardUrl(it.key())), 200);
        }

        m_proxy->setRule(rule);
        const ToolRun faulty = sync();
        QVERIFY2((faulty.status == 0) == finishes, faulty.output + faulty.errors);
        if (!finishes) {
            QVERIFY2(faulty.errors.contains("What it did is kept; the next sync goes on from there."), faulty.errors.constData());
            m_proxy->setRule({});
        }
        const bool keepsRule = rule.fault == FaultProxy::Fault::NoETag || rule.fault == FaultProxy::Fault::RewriteAfterPut;
        if (!keepsRule)
            m_proxy->setRule({});
        const ToolRun next = sync();
        QVERIFY2(next.status == 0, next.errors.constData());

        const QStringList expected{QStringLiteral("Ann"), QStringLiteral("Cem"), QStringLiteral("Lea"), QStringLiteral("Leo"),
                                   QStringLiteral("Liv"), QStringLiteral("Lou"), QStringLiteral("Sam"), QStringLiteral("Sue")};
        QCOMPARE(names(localValues()), expected);
        QCOMPARE(localValues()[0][fieldIndex(ContactField::PhoneNumber)], QStringLiteral("+1 555 0100"));
        QCOMPARE(localValues()[1][fieldIndex(ContactField::PhoneNumber)], QStringLiteral("+90 1"));
        if (rule.fault == FaultProxy::Fault::RewriteAfterPut) {
            // What the server made of the cards is what is kept.
            QCOMPARE(shell(QStringLiteral("SELECT count(*) FROM merivo_sync_item WHERE CAST(card AS TEXT) LIKE '%X-SERVER-NOTE%';")),
                     QStringLiteral("4"));
        }
        checkSettled("after a fault");
    }

    // SIGKILL at any moment: at each request the server gets, and at random
    // times. Changes on both sides every round; after one sync that is not
    // killed, both sides hold exactly the contacts they should.
    void killedAtAnyMoment()
    {
        QMap<QString, QString> expected; // name to phone
        QStringList ours;                // names added here
        QStringList theirs;              // names added on the server
        QRandomGenerator random(20261206);
        int killedByRequest = 0;
        int killedByTime = 0;
        for (int round = 0; round < 24; ++round) {
            QString sql;
            for (int i = 0; i < 2; ++i) {
                const QString local = QStringLiteral("L%1-%2").arg(round).arg(i);
                const QString remote = QStringLiteral("S%1-%2").arg(round).arg(i);
                sql += QStringLiteral("INSERT INTO Table1(\"Name\") VALUES (%1);").arg(sqlText(local));
                QCOMPARE(dav("PUT", cardUrl(remote + QStringLiteral(".vcf")), plainCard(remote, remote)), 201);
                expected.insert(local, QString());
                expected.insert(remote, QString());
                ours.append(local);
                theirs.append(remote);
            }
            if (round > 0) {
                const QString edited = ours.at(random.bounded(ours.size()));
                sql += QStringLiteral("UPDATE Table1 SET \"Phone Number\" = '%1' WHERE \"Name\" = %2;").arg(round).arg(sqlText(edited));
                expected[edited] = QString::number(round);
                const QString gone = ours.takeAt(random.bounded(ours.size()));
                sql += QStringLiteral("DELETE FROM Table1 WHERE \"Name\" = %1;").arg(sqlText(gone));
                expected.remove(gone);

                const QString changed = theirs.at(random.bounded(theirs.size()));
                QCOMPARE(dav("PUT", cardUrl(changed + QStringLiteral(".vcf")),
                             richCard(changed, changed, QStringLiteral("+%1").arg(round))), 201);
                expected[changed] = QStringLiteral("+%1").arg(round);
                const QString removed = theirs.takeAt(random.bounded(theirs.size()));
                QCOMPARE(dav("DELETE", cardUrl(removed + QStringLiteral(".vcf"))), 200);
                expected.remove(removed);
            }
            QCOMPARE(shell(sql), QString());

            // Killed once or twice, then a sync that runs to its end.
            for (int kill = 0; kill < 1 + round % 2; ++kill) {
                if (random.bounded(3) == 0) {
                    tool({QStringLiteral("sync")}, random.bounded(600));
                    ++killedByTime;
                } else {
                    const int at = 1 + random.bounded(7);
                    int seen = 0;
                    m_proxy->onRequest = [&](const HttpMessage &) {
                        if (++seen == at)
                            m_tool.kill();
                    };
                    sync();
                    m_proxy->onRequest = nullptr;
                    killedByRequest += seen >= at;
                }
            }
            const ToolRun clean = sync();
            QVERIFY2(clean.status == 0, clean.errors.constData());
            QCOMPARE(names(localValues()), QStringList(expected.keys()));
            QCOMPARE(names(serverValues()), QStringList(expected.keys()));
            for (const ContactValues &values : localValues())
                QCOMPARE(values[fieldIndex(ContactField::PhoneNumber)], expected.value(values[0]));
        }
        QVERIFY2(killedByRequest >= 10, qPrintable(QString::number(killedByRequest)));
        qInfo("killed %d syncs at a request, %d at a random time", killedByRequest, killedByTime);
        checkSettled("after syncs were killed");
    }

    void serverRestartedMidSync()
    {
        QStringList added;
        for (int i = 0; i < 40; ++i)
            added.append(QStringLiteral("Person %1").arg(i, 2, 10, QLatin1Char('0')));
        QCOMPARE(shell(insertNamesSql(added)), QString());
        int puts = 0;
        m_proxy->onRequest = [&](const HttpMessage &request) {
            if (request.method() == "PUT" && ++puts == 15)
                m_radicale->stop();
        };
        const ToolRun cut = sync();
        m_proxy->onRequest = nullptr;
        QCOMPARE(cut.status, 1);
        QVERIFY2(cut.errors.contains("the server answered 502"), cut.errors.constData());
        QVERIFY(m_radicale->start());
        const ToolRun next = sync();
        QVERIFY2(next.status == 0, next.errors.constData());
        QCOMPARE(names(serverValues()), names(localValues()));
        QCOMPARE(serverValues().size(), 40);
        checkSettled("after the server was restarted");
    }

    // Debian's vdirsyncer keeps the same address book in a folder: what one
    // program adds, the other gets, and a card edited here keeps the photo
    // and the birthday that the other one gave it.
    void vdirsyncerIsAPeer()
    {
        const QString vdirsyncer = QStandardPaths::findExecutable(QStringLiteral("vdirsyncer"));
        QVERIFY2(!vdirsyncer.isEmpty(), "vdirsyncer is not installed");
        const QString folder = m_dir->filePath(QStringLiteral("cards"));
        QVERIFY(QDir().mkpath(folder));
        const QString config = m_dir->filePath(QStringLiteral("vdirsyncer.conf"));
        Radicale::writeText(config, QStringLiteral("[general]\nstatus_path = \"%1/status/\"\n"
                                                   "[pair merivo]\na = \"server\"\nb = \"folder\"\ncollections = null\n"
                                                   "[storage server]\ntype = \"carddav\"\nurl = \"%2\"\n"
                                                   "username = \"ann\"\npassword = \"secret\"\n"
                                                   "[storage folder]\ntype = \"filesystem\"\npath = \"%3/\"\nfileext = \".vcf\"\n")
                                        .arg(m_dir->path(), m_bookUrl, folder)
                                        .toUtf8());
        const auto peer = [&](const QString &command) {
            QProcess process;
            process.start(vdirsyncer, {QStringLiteral("-c"), config, command});
            process.closeWriteChannel();
            process.waitForFinished(120000);
            return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
                ? QByteArray()
                : process.readAllStandardError() + process.readAllStandardOutput();
        };
        QCOMPARE(peer(QStringLiteral("discover")), QByteArray());

        QCOMPARE(shell(insertNamesSql({QStringLiteral("Ann Merivo")})), QString());
        QCOMPARE(sync().status, 0);
        QCOMPARE(peer(QStringLiteral("sync")), QByteArray());
        QStringList files = QDir(folder).entryList({QStringLiteral("*.vcf")});
        QCOMPARE(files.size(), 1);
        QVERIFY(unfoldedLines(readFile(QDir(folder).filePath(files.constFirst()))).contains(QStringLiteral("FN:Ann Merivo")));

        QVERIFY(writeFile(QDir(folder).filePath(QStringLiteral("vera.vcf")),
                          richCard(QStringLiteral("vera"), QStringLiteral("Vera Lind"), QStringLiteral("+46 8 123"))));
        QCOMPARE(peer(QStringLiteral("sync")), QByteArray());
        QCOMPARE(sync().status, 0);
        QCOMPARE(names(localValues()), (QStringList{QStringLiteral("Ann Merivo"), QStringLiteral("Vera Lind")}));

        QCOMPARE(shell(QStringLiteral("UPDATE Table1 SET \"Phone Number\" = '+46 8 999' WHERE \"Name\" = 'Vera Lind';")), QString());
        QCOMPARE(sync().status, 0);
        QCOMPARE(peer(QStringLiteral("sync")), QByteArray());
        const QStringList vera = unfoldedLines(readFile(QDir(folder).filePath(QStringLiteral("vera.vcf"))));
        QVERIFY2(vera.contains(QStringLiteral("TEL;TYPE=HOME:+46 8 999")), qPrintable(vera.join(QLatin1Char('|'))));
        QVERIFY(vera.contains(QStringLiteral("BDAY:1980-04-01")));
        QVERIFY(std::any_of(vera.cbegin(), vera.cend(), [](const QString &line) {
            return line.startsWith(QLatin1String("PHOTO")) && line.endsWith(QLatin1String("ErkJggg=="));
        }));
        checkSettled("after syncing with vdirsyncer");
    }

    void accounts()
    {
        const QString password = QStringLiteral("cat '%1'").arg(m_dir->filePath(QStringLiteral("password")));
        const auto add = [&](const QString &url, const QStringList &more = {}) {
            return tool(QStringList{QStringLiteral("account"), QStringLiteral("add"), url, QStringLiteral("--user"),
                                    QStringLiteral("ann"), QStringLiteral("--password-command"), password}
                        + more);
        };
        // From the server's address: every book of ann's is found (RFC 6764).
        ToolRun run = add(m_radicale->url());
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errors.contains("has several address books; name one with --addressbook: ")
                     && run.errors.contains(m_book.toUtf8()),
                 run.errors.constData());
        run = add(m_radicale->url() + QStringLiteral(".well-known/carddav"), {QStringLiteral("--addressbook"), m_book});
        QVERIFY2(run.status == 0, run.errors.constData());
        QVERIFY2(run.output.contains(QStringLiteral("Added account 2: ann at %1 (address book %2).").arg(m_bookUrl, m_book).toUtf8()),
                 run.output.constData());
        run = add(m_bookUrl);
        QCOMPARE(run.status, 1);
        QVERIFY(run.errors.contains("is there already"));

        // The password never crosses another network unencrypted.
        run = add(QStringLiteral("http://192.0.2.1/dav/"));
        QCOMPARE(run.status, 2);
        QVERIFY(run.errors.contains("would send the password unencrypted over the network"));
        run = add(QStringLiteral("ftp://127.0.0.1/"));
        QCOMPARE(run.status, 2);

        run = tool({QStringLiteral("account"), QStringLiteral("list")});
        QCOMPARE(run.output.count('\n'), 2);
        QCOMPARE(sync().status, 0);
        for (const char *file : {"db2-sync-accounts.json", "db2-sync.log"}) {
            QCOMPARE(QFileInfo(m_dir->filePath(QString::fromLatin1(file))).permissions(),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        }
        for (const QString &file : QDir(m_dir->path()).entryList(QDir::Files)) {
            if (file != QLatin1String("password"))
                QVERIFY2(!readFile(m_dir->filePath(file)).contains("secret"), qPrintable(file));
        }
        run = tool({QStringLiteral("account"), QStringLiteral("remove"), QStringLiteral("2")});
        QVERIFY2(run.status == 0, run.errors.constData());
        QCOMPARE(tool({QStringLiteral("account"), QStringLiteral("list")}).output.count('\n'), 1);
        QCOMPARE(tool({QStringLiteral("account"), QStringLiteral("remove"), QStringLiteral("7")}).status, 1);
    }

    // Certificates are checked: a self-hosted server's own authority only
    // counts when named.
    void httpsCertificatesAreChecked()
    {
        const QString certificate = m_dir->filePath(QStringLiteral("cert.pem"));
        const QString key = m_dir->filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                                  QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"), key,
                                                  QStringLiteral("-out"), certificate, QStringLiteral("-days"), QStringLiteral("2"),
                                                  QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                                                  QStringLiteral("subjectAltName=IP:127.0.0.1")});
        QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
        Radicale secure(m_dir->filePath(QStringLiteral("tls")));
        secure.useTls(certificate, key);
        QVERIFY(secure.start());
        const QStringList add{QStringLiteral("account"), QStringLiteral("add"), secure.url() + QStringLiteral("ann/contacts/"),
                              QStringLiteral("--user"), QStringLiteral("ann"), QStringLiteral("--password-command"),
                              QStringLiteral("cat '%1'").arg(m_dir->filePath(QStringLiteral("password")))};
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("db2-sync-accounts.json"))));
        ToolRun run = tool(add);
        QVERIFY2(run.status == 1 && run.errors.contains("certificate"), run.errors.constData());
        run = tool(add + QStringList{QStringLiteral("--ca-file"), certificate});
        QVERIFY2(run.status == 0, run.errors.constData());
        QCOMPARE(shell(insertNamesSql({QStringLiteral("Ann")})), QString());
        run = sync();
        QVERIFY2(run.output.contains("sent 1 new"), run.output + run.errors);
        QCOMPARE(secure.cards().size(), 1);
    }

    // The password in the desktop's keyring: a session bus and a
    // gnome-keyring of this test's own.
    void passwordInTheKeyring()
    {
        const QString session = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
        const QString keyring = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        QVERIFY2(!session.isEmpty() && !keyring.isEmpty(), "dbus-run-session and gnome-keyring-daemon are needed");
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("db2-sync-accounts.json"))));
        const QString home = m_dir->filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        const QString tool = QStringLiteral("'%1' --database '%2'").arg(QStringLiteral(MERIVO_TOOL), m_database);
        const QString script =
            QStringLiteral("printf x | gnome-keyring-daemon --unlock --replace --daemonize --components=secrets >/dev/null"
                           " && echo secret | %1 account add %2 --user ann && %1 sync && %1 account remove 1")
                .arg(tool, m_bookUrl);
        ToolRunner shellRunner(session);
        const ToolRun run = shellRunner.run({QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), script}, -1, environment);
        QVERIFY2(run.status == 0, run.errors.constData());
        QVERIFY2(run.output.contains("Added account 1") && run.output.contains("received 0 new") && run.output.contains("Removed the account"),
                 run.output.constData());
        QVERIFY(!readFile(m_dir->filePath(QStringLiteral("db2-sync-accounts.json"))).contains("secret"));
    }
};

Q_DECLARE_METATYPE(FaultProxy::Rule)

QTEST_GUILESS_MAIN(TestSync)
#include "tst_sync.moc"
