// Speed of merivo-tool sync against a local Radicale, next to Debian's
// vdirsyncer syncing the same contacts with the same server in the same run.
//
//   merivo_sync_bench                 10,000 contacts (2,000 for the upload)
//   merivo_sync_bench --up 10000      10,000 for the upload too (hours)
//   merivo_sync_bench --no-up         10,000 contacts, no upload
//   merivo_sync_bench --quick         300 contacts, 100 up (keeps it working)
//
// Every figure is one whole command, as a user runs it, from start to exit:
//   first sync up    an empty address book, the contacts here
//                    (vdirsyncer: a folder of .vcf files; merivo-tool: db2.mdb)
//   first sync down  the address book full, nothing here
//   second sync      right after (the first one that sends a sync token)
//   nothing changed  merivo-tool again right after (median of 5)
//   one edited       one contact changed in the file (median of 5)
// and, for scale, the server's own time for the sync-collection REPORT that
// every sync asks (median of 5). Targets: each first sync within
// vdirsyncer's time for the same work; nothing changed and one edited
// within 0.5 s. The cards are of many scripts, one in ten with a photo, as
// phones keep them.
//
// Radicale checks every new card's UID against all the cards it holds, so
// an upload costs it time in proportion to the square of the cards: 10,000
// take it hours, for either client. The upload is therefore measured on
// fewer cards unless asked; the full address book for the rest is laid
// into Radicale's folder as its own files.

#include "BenchCommand.h"
#include "SyncTestTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

std::map<std::string, std::vector<double>> g_seconds;
std::map<std::string, std::vector<double>> g_cpuSeconds;
bool g_failed = false;
QString g_port;

void fail(const char *what)
{
    std::fprintf(stderr, "FAILED: %s\n", what);
    g_failed = true;
}

QByteArray cardOf(int i)
{
    static const char *const given[] = {"Émile", "Ζωή", "Алексей", "美咲", "محمد", "Siobhán", "Łukasz", "Nguyễn", "Ana", "Jo"};
    static const char *const family[] = {"Zoë", "Παπαδοπούλου", "Смирнов", "佐藤", "الحسن", "O'Brien", "Wałęsa", "Thị", "Silva", "Lee"};
    const QByteArray n = QByteArray::number(i);
    const QByteArray uid = "bench-" + n;
    QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + given[i % 10] + ' ' + family[(i / 10) % 10] + ' ' + n
        + "\r\nN:" + family[(i / 10) % 10] + ';' + given[i % 10] + ";;;\r\nADR;TYPE=HOME:;;" + n
        + " Main Street;Springfield;;;\r\nTEL;TYPE=HOME:+1 555 " + n + "\r\nTEL;TYPE=CELL:+1 666 " + n
        + "\r\nTITLE:Engineer\r\nEMAIL;TYPE=INTERNET:contact" + n + "@example.org\r\nURL:https://example.org/" + n
        + "\r\nBDAY:1980-01-01\r\nNOTE:met at the fair\\, twice\r\n";
    if (i % 10 == 0) {
        QByteArray photo = QByteArray(1500, char('A' + i % 26)).toBase64();
        card += "PHOTO;ENCODING=b;TYPE=JPEG:";
        for (qsizetype at = 0; at < photo.size(); at += 74)
            card += (at ? " " : "") + photo.mid(at, 74) + "\r\n";
    }
    return card + "END:VCARD\r\n";
}

// A vdirsyncer pair of one address book and one folder.
QString vdirsyncerConfig(const QString &dir, const QString &name, const QString &url)
{
    const QString folder = dir + QLatin1Char('/') + name;
    QDir().mkpath(folder + QStringLiteral("/cards"));
    const QString config = folder + QStringLiteral("/config");
    Radicale::writeText(config, QStringLiteral("[general]\nstatus_path = \"%1/status/\"\n"
                                               "[pair p]\na = \"server\"\nb = \"folder\"\ncollections = null\n"
                                               "[storage server]\ntype = \"carddav\"\nurl = \"%2\"\nusername = \"ann\"\n"
                                               "password = \"secret\"\n"
                                               "[storage folder]\ntype = \"filesystem\"\npath = \"%1/cards/\"\n"
                                               "fileext = \".vcf\"\n")
                                    .arg(folder, url)
                                    .toUtf8());
    return config;
}

// Once, or rounds times with `before` run untimed ahead of each round.
void measure(const std::string &name, int rounds, const std::function<QStringList()> &command,
             const std::function<void()> &before = {})
{
    benchmark::RegisterBenchmark(name.c_str(),
                                 [=](benchmark::State &state) {
                                     for (auto _ : state) {
                                         if (before)
                                             before();
                                         const Outcome outcome = runCommand(command(), true);
                                         if (!outcome.ok)
                                             fail(name.c_str());
                                         state.SetIterationTime(outcome.seconds);
                                         g_seconds[name].push_back(outcome.seconds);
                                         g_cpuSeconds[name].push_back(outcome.cpuSeconds);
                                     }
                                 })
        ->Iterations(rounds)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2) : QString();
}

// The sync-collection REPORT with the token a database keeps: what a sync
// with nothing changed asks the server.
int askReport(const QString &url, const QString &database)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *select = nullptr;
    QByteArray token;
    sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(db, "SELECT token FROM merivo_sync_collection", -1, &select, nullptr);
    if (sqlite3_step(select) == SQLITE_ROW)
        token = reinterpret_cast<const char *>(sqlite3_column_text(select, 0));
    sqlite3_finalize(select);
    sqlite3_close(db);

    QNetworkAccessManager network;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Authorization", "Basic " + QByteArray("ann:secret").toBase64());
    request.setRawHeader("Depth", "0");
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/xml"));
    QNetworkReply *reply = network.sendCustomRequest(
        request, "REPORT",
        "<?xml version=\"1.0\"?><d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" + token
            + "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop></d:sync-collection>");
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return !token.isEmpty() && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 207 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "--report") {
        QCoreApplication app(argc, argv);
        return askReport(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    bool quick = false;
    int up = 0;
    std::vector<char *> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick")
            quick = true;
        else if (std::string(argv[i]) == "--no-up")
            up = -1;
        else if (std::string(argv[i]) == "--up" && i + 1 < argc)
            up = std::atoi(argv[++i]);
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&count, arguments.data());
    const QString vdirsyncer = QStandardPaths::findExecutable(QStringLiteral("vdirsyncer"));
    if (vdirsyncer.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("radicale")).isEmpty()) {
        std::fprintf(stderr, "FAILED: radicale and vdirsyncer are needed\n");
        return 1;
    }

    const int contacts = quick ? 300 : 10000;
    if (up == 0)
        up = quick ? 100 : 2000;
    const bool measureUp = up > 0;
    up = std::max(up, 0);
    QTemporaryDir dir;
    Radicale radicale(dir.filePath(QStringLiteral("server")));
    if (!radicale.start()) {
        std::fprintf(stderr, "FAILED: radicale did not start\n");
        return 1;
    }
    const QString tool = QStringLiteral(MERIVO_TOOL);
    const QString password = dir.filePath(QStringLiteral("password"));
    Radicale::writeText(password, "secret\n");
    const auto merivo = [&](const QString &database, const QStringList &command) {
        return QStringList{tool, QStringLiteral("--database"), database} + command;
    };
    const auto addAccount = [&](const QString &database, const QString &url) {
        if (!runCommand(merivo(database, {QStringLiteral("account"), QStringLiteral("add"), url, QStringLiteral("--user"),
                                          QStringLiteral("ann"), QStringLiteral("--password-command"),
                                          QStringLiteral("cat ") + password}))
                 .ok)
            fail("account add");
    };

    // The same contacts for both: a folder of cards for vdirsyncer, and
    // db2.mdb imported from them for merivo-tool.
    const QString upConfig = vdirsyncerConfig(dir.path(), QStringLiteral("up"), radicale.addressBook(QStringLiteral("vdirsyncer-up")));
    // Each client downloads a book of its own, laid as files, so that both
    // find Radicale's cache of it cold.
    QByteArray all;
    const QString vdirsyncerBook = radicale.addressBook(QStringLiteral("full-vdirsyncer"));
    const QString fullBook = radicale.addressBook(QStringLiteral("full"));
    for (int i = 0; i < std::max(up, contacts); ++i) {
        const QByteArray card = cardOf(i);
        if (i < up) {
            Radicale::writeText(dir.filePath(QStringLiteral("up/cards/bench-%1.vcf").arg(i)), card);
            all += card;
        }
        if (i < contacts) {
            for (const char *book : {"full", "full-vdirsyncer"})
                Radicale::writeText(radicale.collectionFolder(QString::fromLatin1(book)) + QStringLiteral("/bench-%1.vcf").arg(i), card);
        }
    }
    Radicale::writeText(dir.filePath(QStringLiteral("all.vcf")), all);
    const QString upDatabase = dir.filePath(QStringLiteral("up.mdb"));
    if (measureUp) {
        if (!runCommand(merivo(upDatabase, {QStringLiteral("import"), dir.filePath(QStringLiteral("all.vcf"))})).ok)
            fail("import");
        addAccount(upDatabase, radicale.addressBook(QStringLiteral("merivo-up")));
        runCommand({vdirsyncer, QStringLiteral("-c"), upConfig, QStringLiteral("discover")}, true);
        measure("vdirsyncer_first_sync_up", 1, [=] { return QStringList{vdirsyncer, QStringLiteral("-c"), upConfig, QStringLiteral("sync")}; });
        measure("merivo_first_sync_up", 1, [=] { return merivo(upDatabase, {QStringLiteral("sync")}); });
    }

    // Down: both from the full book.
    const QString downConfig = vdirsyncerConfig(dir.path(), QStringLiteral("down"), vdirsyncerBook);
    const QString downDatabase = dir.filePath(QStringLiteral("down.mdb"));
    measure("vdirsyncer_first_sync_down", 1, [=] { return QStringList{vdirsyncer, QStringLiteral("-c"), downConfig, QStringLiteral("sync")}; },
            [=] { runCommand({vdirsyncer, QStringLiteral("-c"), downConfig, QStringLiteral("discover")}, true); });
    measure("merivo_first_sync_down", 1, [=] { return merivo(downDatabase, {QStringLiteral("sync")}); },
            [=] {
                // An empty database, as the program makes it.
                sqlite3 *db = nullptr;
                sqlite3_open(QFile::encodeName(downDatabase).constData(), &db);
                sqlite3_exec(db, "CREATE TABLE IF NOT EXISTS Table1(\"Name\" TEXT NOT NULL DEFAULT '', \"Address\" TEXT NOT NULL "
                                 "DEFAULT '', \"Phone Number\" TEXT NOT NULL DEFAULT '', \"Position\" TEXT NOT NULL DEFAULT '', "
                                 "\"Office address\" TEXT NOT NULL DEFAULT '', \"Office Phone Number\" TEXT NOT NULL DEFAULT '', "
                                 "\"Email Address\" TEXT NOT NULL DEFAULT '', \"Website Address\" TEXT NOT NULL DEFAULT '')",
                             nullptr, nullptr, nullptr);
                sqlite3_close(db);
                addAccount(downDatabase, fullBook);
            });
    // The first sync asks for every card and the server's sync token, which
    // Radicale pays for once by building its change history; the second
    // asks what changed since.
    measure("merivo_second_sync", 1, [=] { return merivo(downDatabase, {QStringLiteral("sync")}); });
    measure("merivo_nothing_changed", 5, [=] { return merivo(downDatabase, {QStringLiteral("sync")}); });
    int edits = 0;
    measure("merivo_one_contact_edited", 5, [=] { return merivo(downDatabase, {QStringLiteral("sync")}); },
            [=, &edits] {
                sqlite3 *db = nullptr;
                sqlite3_open(QFile::encodeName(downDatabase).constData(), &db);
                const QByteArray sql = "UPDATE Table1 SET \"Phone Number\" = '+1 777 " + QByteArray::number(++edits)
                    + "' WHERE rowid = (SELECT rowid FROM Table1 LIMIT 1 OFFSET " + QByteArray::number(contacts / 2) + ")";
                sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
                sqlite3_close(db);
            });
    measure("radicale_sync_collection_report", 5, [=] {
        // The REPORT merivo-tool's last sync asked, as curl would ask it: the
        // server's share of a sync with nothing changed.
        return QStringList{QCoreApplication::applicationFilePath(), QStringLiteral("--report"), fullBook, downDatabase};
    });
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const auto ms = [](const char *name) { return median(g_seconds[name]) * 1000; };
    const auto cpuMs = [](const char *name) { return median(g_cpuSeconds[name]) * 1000; };
    std::printf("\nmerivo-tool sync and vdirsyncer against the same local Radicale: %d contacts, %d up (load %s)\n",
                contacts, up, qPrintable(loadAverage()));
    std::printf("%-22s %10s %16s %10s   %s\n", "", "merivo", "(its own CPU)", "vdirsyncer", "target");
    const auto line = [&](const char *label, const char *ours, const char *theirs, double limit) {
        const double time = ms(ours);
        const bool met = limit > 0 ? time <= limit : time <= ms(theirs);
        std::printf("%-22s %7.0f ms %13.0f ms %7.0f ms   %s\n", label, time, cpuMs(ours), theirs ? ms(theirs) : 0.0,
                    (std::string(met ? "met" : "MISSED") + (limit > 0 ? " (<= 500 ms)" : " (<= vdirsyncer)")).c_str());
    };
    if (measureUp)
        line("first sync up", "merivo_first_sync_up", "vdirsyncer_first_sync_up", 0);
    line("first sync down", "merivo_first_sync_down", "vdirsyncer_first_sync_down", 0);
    std::printf("%-22s %7.0f ms %13.0f ms   (the first that sends a sync token)\n", "second sync",
                ms("merivo_second_sync"), cpuMs("merivo_second_sync"));
    line("nothing changed", "merivo_nothing_changed", nullptr, 500);
    line("one contact edited", "merivo_one_contact_edited", nullptr, 500);
    std::printf("%-22s %7.0f ms   (the server's part of every sync)\n", "Radicale's REPORT", ms("radicale_sync_collection_report"));
    return g_failed ? 1 : 0;
}
